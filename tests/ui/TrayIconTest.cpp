// The notification-area icon and its menu, in process on the offscreen platform: the icon
// record, the messages a click on the icon sends, the menu's commands and the way out.

#include "DialUpUnit.h"
#include "Forms.h"
#include "ShellApi.h"
#include "SignalExit.h"
#include "TestForms.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <memory>
#include <ostream>
#include <string>

namespace {

const QUrl Site(QStringLiteral("http://127.0.0.1:9/"));

class TrayTest : public ::testing::Test {
protected:
    std::unique_ptr<TDialUpFrm> Form = std::make_unique<TDialUpFrm>(TestOptions(Site));

    void SetUp() override {
        TApplication::ResetTerminated();
        Form->AddTrayIcon();
    }

    // Runs Action with a watcher that, shortly after, notes whether a modal showing of the
    // window is running and ends it. True when Action ran such a showing.
    bool RanModalShowing(const std::function<void()>& Action) {
        bool watched = false;
        bool modal = false;
        QTimer::singleShot(50, Form.get(), [&] {
            watched = true;
            modal = Form->InModalShowing();
            if (modal) {
                EXPECT_TRUE(Form->isVisible());
                Form->close();
            }
        });
        Action();
        EXPECT_TRUE(QTest::qWaitFor([&] { return watched; }, 5000));
        return modal;
    }

    void Notify(std::uintptr_t ID, std::intptr_t Mouse) {
        TMessage message;
        message.Msg = TDialUpFrm::WM_TRAYNOTIFY;
        message.WParam = ID;
        message.LParam = Mouse;
        Form->WMTrayNotify(message);
    }
};

TEST_F(TrayTest, TheIconRecordIsFilledAsTheShellExpectsIt) {
    const NOTIFYICONDATAA& data = Form->IconData();
    EXPECT_EQ(data.cbSize, 88u);
    EXPECT_EQ(data.hWnd, Form.get());
    EXPECT_EQ(data.uID, 34953u);
    EXPECT_EQ(data.uFlags, 7u);
    EXPECT_EQ(data.uCallbackMessage, 1035u);
    EXPECT_STREQ(data.szTip, "Tornevo V2.0.18");
    ASSERT_FALSE(data.hIcon.isNull());
    EXPECT_TRUE(data.hIcon.availableSizes().contains(QSize(32, 32)));
    QSystemTrayIcon* icon = FindNotifyIcon(Form.get(), 34953);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->toolTip(), QStringLiteral("Tornevo V2.0.18"));
    EXPECT_FALSE(icon->icon().isNull());
}

TEST(ApplicationIconTest, IsThirtyTwoPixelsSquareInSixteenColours) {
    const QImage image = ApplicationIcon().pixmap(32, 32).toImage();
    ASSERT_EQ(image.size(), QSize(32, 32));
    QSet<QRgb> colours;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            colours.insert(image.pixel(x, y));
    EXPECT_LE(colours.size(), 16);
    EXPECT_GT(colours.size(), 2);
}

TEST_F(TrayTest, DoubleClickShowsTheHiddenWindowModally) {
    ASSERT_FALSE(Form->isVisible());
    EXPECT_TRUE(RanModalShowing([&] { Notify(34953, WM_LBUTTONDBLCLK); }));
    // Closing ended that showing and hid the window again.
    EXPECT_FALSE(Form->isVisible());
    EXPECT_FALSE(Form->InModalShowing());
}

TEST_F(TrayTest, DoubleClickOnAShownWindowOnlyBringsItToTheFront) {
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    EXPECT_FALSE(RanModalShowing([&] { Notify(34953, WM_LBUTTONDBLCLK); }));
    EXPECT_TRUE(Form->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Form->isActiveWindow(); }, 5000));
}

TEST_F(TrayTest, RightButtonOpensTheMenuAtTheMouse) {
    const QPoint mouse(300, 200);
    QCursor::setPos(mouse);
    ASSERT_EQ(QCursor::pos(), mouse);
    EXPECT_FALSE(RanModalShowing([&] { Notify(34953, WM_RBUTTONUP); }));
    EXPECT_TRUE(Form->PopupMenu->isVisible());
    EXPECT_EQ(Form->PopupMenu->pos(), mouse);
    EXPECT_FALSE(Form->isVisible());
    Form->PopupMenu->hide();
}

struct IgnoredCase {
    std::uintptr_t ID;
    std::intptr_t Mouse;
};

void PrintTo(const IgnoredCase& c, std::ostream* os) {
    *os << "id " << c.ID << " mouse " << c.Mouse;
}

class IgnoredNotifyTest : public TrayTest, public ::testing::WithParamInterface<IgnoredCase> {};

TEST_P(IgnoredNotifyTest, DoesNothing) {
    EXPECT_FALSE(RanModalShowing([&] { Notify(GetParam().ID, GetParam().Mouse); }));
    EXPECT_FALSE(Form->isVisible());
    EXPECT_FALSE(Form->PopupMenu->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Messages, IgnoredNotifyTest,
    ::testing::Values(IgnoredCase{34954, WM_LBUTTONDBLCLK}, IgnoredCase{0, WM_RBUTTONUP},
                      IgnoredCase{34953, WM_LBUTTONDOWN}, IgnoredCase{34953, WM_LBUTTONUP},
                      IgnoredCase{34953, WM_RBUTTONDOWN}, IgnoredCase{34953, WM_MBUTTONUP}));

// Clicks on the icon reach the window as its callback message.
struct ClickCase {
    QSystemTrayIcon::ActivationReason Reason;
    bool Modal;
    bool Menu;
    const char* Name;
};

void PrintTo(const ClickCase& c, std::ostream* os) {
    *os << c.Name;
}

class IconClickTest : public TrayTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(IconClickTest, ReachesTheWindowAsItsCallbackMessage) {
    QSystemTrayIcon* icon = FindNotifyIcon(Form.get(), 34953);
    ASSERT_NE(icon, nullptr);
    // Delivered through the window's message queue: nothing happens inside the click.
    emit icon->activated(GetParam().Reason);
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(RanModalShowing([] { QCoreApplication::processEvents(); }), GetParam().Modal);
    EXPECT_EQ(Form->PopupMenu->isVisible(), GetParam().Menu);
    Form->PopupMenu->hide();
}

// The offscreen platform, like a StatusNotifierItem host, reports no double-click of its own:
// a single activation brings the window back.
INSTANTIATE_TEST_SUITE_P(
    Reasons, IconClickTest,
    ::testing::Values(ClickCase{QSystemTrayIcon::DoubleClick, true, false, "double_click"},
                      ClickCase{QSystemTrayIcon::Trigger, true, false, "activation"},
                      ClickCase{QSystemTrayIcon::Context, false, true, "context"},
                      ClickCase{QSystemTrayIcon::MiddleClick, false, false, "middle"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(TrayClickMessageTest, MapsActivationsToMouseMessages) {
    EXPECT_EQ(TrayClickMessage(QSystemTrayIcon::DoubleClick, true), WM_LBUTTONDBLCLK);
    EXPECT_EQ(TrayClickMessage(QSystemTrayIcon::DoubleClick, false), WM_LBUTTONDBLCLK);
    EXPECT_EQ(TrayClickMessage(QSystemTrayIcon::Trigger, true), WM_LBUTTONUP);
    EXPECT_EQ(TrayClickMessage(QSystemTrayIcon::Trigger, false), WM_LBUTTONDBLCLK);
    EXPECT_EQ(TrayClickMessage(QSystemTrayIcon::Context, true), WM_RBUTTONUP);
    EXPECT_EQ(TrayClickMessage(QSystemTrayIcon::Context, false), WM_RBUTTONUP);
    EXPECT_EQ(TrayClickMessage(QSystemTrayIcon::Unknown, false), 0u);
}

struct TipCase {
    QString Caption;
    QString Tip;
    const char* Name;
};

void PrintTo(const TipCase& c, std::ostream* os) {
    *os << c.Name;
}

class TipTest : public ::testing::TestWithParam<TipCase> {};

TEST_P(TipTest, HoldsAtMostSixtyThreeBytesOfWholeCharacters) {
    NOTIFYICONDATAA data;
    std::memset(data.szTip, 'x', sizeof(data.szTip));
    SetTip(data, GetParam().Caption);
    EXPECT_EQ(TipText(data), GetParam().Tip);
    EXPECT_LE(std::strlen(data.szTip), 63u);
    EXPECT_EQ(data.szTip[63], '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Captions, TipTest,
    ::testing::Values(TipCase{"Tornevo V2.0.18", "Tornevo V2.0.18", "caption"},
                      TipCase{QString(63, u'a'), QString(63, u'a'), "sixty_three"},
                      TipCase{QString(80, u'a'), QString(63, u'a'), "cut_to_sixty_three"},
                      TipCase{QString(21, u'拨'), QString(21, u'拨'), "twenty_one_chinese_fill_it"},
                      TipCase{QStringLiteral("a") + QString(21, u'拨'),
                              QStringLiteral("a") + QString(20, u'拨'), "no_half_character"},
                      TipCase{"", "", "empty"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(TrayTest, ShowMainWindowOnAShownWindowRaisesNoError) {
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    EXPECT_NO_THROW(EXPECT_FALSE(RanModalShowing([&] { Form->N1Click(); })));
    EXPECT_TRUE(Form->isVisible());
}

TEST_F(TrayTest, ShowMainWindowFromTheMenuShowsAHiddenWindowModally) {
    EXPECT_TRUE(RanModalShowing([&] {
        Form->N1->trigger();
        QCoreApplication::processEvents();
    }));
}

TEST_F(TrayTest, ExitRemovesTheIconAndEndsTheLoop) {
    ASSERT_NE(FindNotifyIcon(Form.get(), 34953), nullptr);
    QTimer::singleShot(0, Form.get(), [&] { Form->E1->trigger(); });
    TApplication::Run();
    EXPECT_TRUE(TApplication::Terminated());
    EXPECT_EQ(FindNotifyIcon(Form.get(), 34953), nullptr);
}

TEST_F(TrayTest, ExitDuringTheFirstShowingEndsItAndTheLoopNeverStarts) {
    QTimer::singleShot(50, Form.get(), [&] {
        EXPECT_TRUE(Form->InModalShowing());
        Form->E1Click();
    });
    Form->ShowModal();
    EXPECT_FALSE(Form->isVisible());
    EXPECT_TRUE(TApplication::Terminated());
    // Returns at once instead of waiting for an Exit that already came.
    TApplication::Run();
    // And no later showing starts.
    Form->ShowModal();
    EXPECT_FALSE(Form->isVisible());
}

TEST_F(TrayTest, ClosingTheWindowHidesItAndTheTimerAndIconLiveOn) {
    Form->CheckBox1->setChecked(true);
    QTimer::singleShot(50, Form.get(), [&] { Form->close(); });
    Form->ShowModal();
    EXPECT_FALSE(Form->isVisible());
    EXPECT_FALSE(TApplication::Terminated());
    EXPECT_TRUE(Form->Timer1->isActive());
    EXPECT_NE(FindNotifyIcon(Form.get(), 34953), nullptr);
}

TEST_F(TrayTest, ShowingSetsTheApplicationTitleToTheCaption) {
    TApplication::SetTitle(QString());
    QTimer::singleShot(50, Form.get(), [&] { Form->close(); });
    Form->ShowModal();
    EXPECT_EQ(TApplication::Title(), QStringLiteral("Tornevo V2.0.18"));
}

TEST_F(TrayTest, TheIconComesBackWhenTheNotificationAreaRestarts) {
    QSystemTrayIcon* before = FindNotifyIcon(Form.get(), 34953);
    ASSERT_NE(before, nullptr);
    const QPointer<QSystemTrayIcon> old(before);
    EXPECT_NE(Form->IconRestoreMsg(), 0u);
    EXPECT_EQ(Form->IconRestoreMsg(), TaskbarCreatedMessage());
    // A message numbered 0 is not the area's announcement.
    PostMessage(Form.get(), 0, 0, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(FindNotifyIcon(Form.get(), 34953), before);
    BroadcastMessage(TaskbarCreatedMessage(), 0, 0);
    QCoreApplication::processEvents();
    QSystemTrayIcon* after = FindNotifyIcon(Form.get(), 34953);
    ASSERT_NE(after, nullptr);
    EXPECT_TRUE(old.isNull()); // the stale icon went, a new one was added
    EXPECT_EQ(after->toolTip(), QStringLiteral("Tornevo V2.0.18"));
}

TEST(ShellNotifyIconTest, RefusesRecordsOfAnotherSizeAndUnknownIcons) {
    QWidget window;
    NOTIFYICONDATAA data;
    data.cbSize = 504; // a later form of the record
    data.hWnd = &window;
    data.uID = 1;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &data));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &data));
    EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, nullptr));
    data.uFlags = NIF_TIP;
    SetTip(data, QStringLiteral("tip"));
    EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
    ASSERT_NE(FindNotifyIcon(&window, 1), nullptr);
    EXPECT_EQ(FindNotifyIcon(&window, 1)->toolTip(), QStringLiteral("tip"));
    EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
    EXPECT_EQ(FindNotifyIcon(&window, 1), nullptr);
}

// Signals take the way out that Exit takes.
class SignalExitTest : public ::testing::TestWithParam<int> {};

TEST_P(SignalExitTest, ReachesTheHandlerThroughTheEventLoop) {
    TApplication::ResetTerminated();
    TSignalExit exitOnSignal;
    int handled = 0;
    exitOnSignal.SetHandler([&] { ++handled; });
    ASSERT_EQ(std::raise(GetParam()), 0);
    // Nothing ran inside the signal handler itself.
    EXPECT_EQ(handled, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return handled == 1; }, 5000));
    EXPECT_EQ(exitOnSignal.LastSignal(), GetParam());
    EXPECT_FALSE(TApplication::Terminated());
}

TEST_P(SignalExitTest, WithoutAHandlerTerminatesTheApplication) {
    TApplication::ResetTerminated();
    TSignalExit exitOnSignal;
    ASSERT_EQ(std::raise(GetParam()), 0);
    EXPECT_TRUE(QTest::qWaitFor([] { return TApplication::Terminated(); }, 5000));
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalExitTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& Info) { return std::string(strsignal(Info.param)); });

} // namespace
