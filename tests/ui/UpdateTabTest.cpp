// The update tab against pages served by the test on 127.0.0.1.

#include "DialUpUnit.h"
#include "PageServer.h"
#include "TestForms.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

class UpdateTabTest : public ::testing::Test {
protected:
    TPageServer Server;

    void SetUp() override {
        ASSERT_TRUE(Server.Listen());
        Server.SetPage("/update/main1.htm",
                       "<html><body><h1>main</h1>"
                       "<a id='next' href='/update/page2.htm'>next</a></body></html>");
        Server.SetPage("/update/page2.htm", "<html><body><h1>second</h1></body></html>");
    }
};

TEST_F(UpdateTabTest, LoadsTheUpdatePageAndRefreshReloadsThePageReachedByALink) {
    TDialUpFrm form(TestOptions(Server.BaseUrl()));
    QWebEngineView* view = form.WebBrowser2;
    QSignalSpy loaded(view, &QWebEngineView::loadFinished);
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.count() >= 1; }, 30000));
    EXPECT_TRUE(loaded.takeFirst().at(0).toBool());
    EXPECT_EQ(view->url().path(), QStringLiteral("/update/main1.htm"));
    EXPECT_EQ(Server.Requests("/update/main1.htm"), 1);

    view->page()->runJavaScript(QStringLiteral("document.getElementById('next').click();"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return loaded.count() >= 1 && view->url().path() == "/update/page2.htm"; }, 30000));
    loaded.clear();
    EXPECT_EQ(Server.Requests("/update/page2.htm"), 1);

    QTest::mouseClick(form.SpeedButton43, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.count() >= 1; }, 30000));
    EXPECT_EQ(Server.Requests("/update/page2.htm"), 2);
    EXPECT_EQ(Server.Requests("/update/main1.htm"), 1);
    EXPECT_EQ(view->url().path(), QStringLiteral("/update/page2.htm"));
}

TEST_F(UpdateTabTest, HiddenWindowReleasesThePageAndBringsBackTheOneReachedByALink) {
    TDialUpFrm form(TestOptions(Server.BaseUrl()));
    QWebEngineView* view = form.WebBrowser2;
    QWebEnginePage* page = view->page();
    QSignalSpy loaded(view, &QWebEngineView::loadFinished);
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.count() >= 1; }, 30000));
    page->runJavaScript(QStringLiteral("document.getElementById('next').click();"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return loaded.count() >= 2 && view->url().path() == "/update/page2.htm"; }, 30000));

    form.hide();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return page->lifecycleState() == QWebEnginePage::LifecycleState::Discarded; },
        10000));

    loaded.clear();
    form.show();
    EXPECT_EQ(page->lifecycleState(), QWebEnginePage::LifecycleState::Active);
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.count() >= 1; }, 30000));
    EXPECT_TRUE(loaded.takeFirst().at(0).toBool());
    EXPECT_EQ(view->url().path(), QStringLiteral("/update/page2.htm"));
    EXPECT_EQ(Server.Requests("/update/page2.htm"), 2); // fetched again, not the start page
    EXPECT_EQ(Server.Requests("/update/main1.htm"), 1);
}

} // namespace
