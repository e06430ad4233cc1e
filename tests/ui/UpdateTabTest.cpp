// The update tab against pages served by the test on 127.0.0.1. The browser runs in a process
// of its own, on the same (offscreen) platform as the tests.

#include "ChildProcess.h"
#include "DialUpUnit.h"
#include "PageServer.h"
#include "TestForms.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <csignal>
#include <vector>

namespace {

constexpr int LoadTimeoutMs = 30000;

bool ProcessExists(qint64 Pid) {
    return Pid > 0 && ::kill(static_cast<pid_t>(Pid), 0) == 0;
}

class UpdateTabTest : public ::testing::Test {
protected:
    TPageServer Server;

    void SetUp() override {
        ASSERT_TRUE(Server.Listen());
        // The update page follows its link as soon as it has loaded.
        Server.SetPage("/update/main1.htm",
                       "<html><body onload=\"document.getElementById('next').click()\">"
                       "<h1>main</h1><a id='next' href='/update/page2.htm'>next</a></body></html>");
        Server.SetPage("/update/page2.htm", "<html><body><h1>second</h1></body></html>");
    }

    // Waits until the browser reports page2.htm loaded, and says whether it loaded.
    static bool SecondPageLoaded(QSignalSpy& Loaded) {
        const auto found = [&] {
            for (const QList<QVariant>& signal : Loaded)
                if (signal.at(0).toUrl().path() == QLatin1String("/update/page2.htm"))
                    return true;
            return false;
        };
        const bool seen = QTest::qWaitFor(found, LoadTimeoutMs);
        bool ok = false;
        for (const QList<QVariant>& signal : Loaded)
            ok = ok || (signal.at(0).toUrl().path() == QLatin1String("/update/page2.htm") &&
                        signal.at(1).toBool());
        Loaded.clear();
        return seen && ok;
    }
};

TEST_F(UpdateTabTest, LoadsTheUpdatePageAndRefreshReloadsThePageReachedByALink) {
    TDialUpFrm form(TestOptions(Server.BaseUrl()));
    QSignalSpy loaded(form.WebBrowser2, &TWebBrowser::DocumentComplete);
    // No browser runs for a window that was never shown.
    EXPECT_FALSE(form.WebBrowser2->Running());
    form.show();
    ASSERT_TRUE(SecondPageLoaded(loaded));
    EXPECT_EQ(Server.Requests("/update/main1.htm"), 1);
    EXPECT_EQ(Server.Requests("/update/page2.htm"), 1);
    EXPECT_EQ(form.WebBrowser2->LocationURL().path(), QStringLiteral("/update/page2.htm"));

    QTest::mouseClick(form.SpeedButton43, Qt::LeftButton);
    ASSERT_TRUE(SecondPageLoaded(loaded));
    EXPECT_EQ(Server.Requests("/update/page2.htm"), 2);
    EXPECT_EQ(Server.Requests("/update/main1.htm"), 1);
}

TEST_F(UpdateTabTest, HiddenWindowEndsTheBrowserAndShowingBringsBackThePageReachedByALink) {
    TDialUpFrm form(TestOptions(Server.BaseUrl()));
    QSignalSpy loaded(form.WebBrowser2, &TWebBrowser::DocumentComplete);
    form.show();
    ASSERT_TRUE(SecondPageLoaded(loaded));
    const qint64 browser = form.WebBrowser2->ProcessId();
    // Any helper process the engine started goes with the browser.
    const std::vector<pid_t> helpers = Descendants(static_cast<pid_t>(browser));
    ASSERT_TRUE(ProcessExists(browser));

    form.hide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ProcessExists(browser); }, 10000));
    EXPECT_FALSE(form.WebBrowser2->Running());
    for (const pid_t helper : helpers)
        EXPECT_TRUE(QTest::qWaitFor([&] { return !ProcessExists(helper); }, 10000))
            << "helper process " << helper << " outlived the browser";

    form.show();
    ASSERT_TRUE(SecondPageLoaded(loaded));
    EXPECT_NE(form.WebBrowser2->ProcessId(), browser);
    EXPECT_EQ(Server.Requests("/update/page2.htm"), 2); // fetched again, not the start page
    EXPECT_EQ(Server.Requests("/update/main1.htm"), 1);
}

TEST_F(UpdateTabTest, APrestartedBrowserLoadsBeforeTheWindowShowsAndStaysWhenItDoes) {
    TDialUpFrm form(TestOptions(Server.BaseUrl()));
    QSignalSpy loaded(form.WebBrowser2, &TWebBrowser::DocumentComplete);
    form.WebBrowser2->Prestart();
    ASSERT_TRUE(SecondPageLoaded(loaded));
    const qint64 browser = form.WebBrowser2->ProcessId();
    form.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(form.WebBrowser2->ProcessId(), browser);
    EXPECT_EQ(Server.Requests("/update/main1.htm"), 1);
}

TEST_F(UpdateTabTest, RefreshStartsABrowserThatDiedAtItsLastPage) {
    TDialUpFrm form(TestOptions(Server.BaseUrl()));
    QSignalSpy loaded(form.WebBrowser2, &TWebBrowser::DocumentComplete);
    QSignalSpy ended(form.WebBrowser2, &TWebBrowser::ProcessEnded);
    form.show();
    ASSERT_TRUE(SecondPageLoaded(loaded));
    ::kill(static_cast<pid_t>(form.WebBrowser2->ProcessId()), SIGKILL);
    ASSERT_TRUE(ended.wait(10000));
    EXPECT_FALSE(form.WebBrowser2->Running());
    // Nothing starts it again by itself; the refresh button does.
    QTest::mouseClick(form.SpeedButton43, Qt::LeftButton);
    ASSERT_TRUE(SecondPageLoaded(loaded));
    EXPECT_EQ(Server.Requests("/update/main1.htm"), 1);
}

TEST_F(UpdateTabTest, AMissingBrowserLeavesTheTabBlankAndTheWindowWorking) {
    TDialUpFrm::TOptions options = TestOptions(Server.BaseUrl());
    options.BrowserProgram = QStringLiteral("/nonexistent/tornevo-browser");
    TDialUpFrm form(options);
    QSignalSpy ended(form.WebBrowser2, &TWebBrowser::ProcessEnded);
    form.show();
    ASSERT_TRUE(ended.count() > 0 || ended.wait(10000));
    EXPECT_FALSE(form.WebBrowser2->Running());
    QTest::mouseClick(form.SpeedButton43, Qt::LeftButton);
    ASSERT_TRUE(ended.count() > 1 || ended.wait(10000));
    EXPECT_EQ(form.WebBrowser2->LocationURL().path(), QStringLiteral("/update/main1.htm"));
    EXPECT_EQ(Server.Requests("/update/main1.htm"), 0);
}

} // namespace
