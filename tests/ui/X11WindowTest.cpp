// The window on a real X server (Xvfb of its own): a picture of each tab, kept under the build
// folder, checks that the pictures show the window as laid out, and the icon's return when an
// X11 notification area announces itself.

#include "ChildProcess.h"
#include "DialUpUnit.h"
#include "PageServer.h"
#include "TestForms.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

#ifndef TORNEVO_SCREENSHOT_DIR
#define TORNEVO_SCREENSHOT_DIR "screenshots"
#endif

namespace {

QImage GrabWindow(QWidget& Window) {
    return Window.screen()->grabWindow(Window.winId()).toImage();
}

template <typename Predicate>
bool HasPixel(const QImage& Image, const QRect& Area, Predicate&& Match) {
    for (int y = Area.top(); y <= Area.bottom(); ++y)
        for (int x = Area.left(); x <= Area.right(); ++x)
            if (Match(Image.pixelColor(x, y)))
                return true;
    return false;
}

bool HasColor(const QImage& Image, const QRect& Area, const QColor& Color) {
    return HasPixel(Image, Area, [&](const QColor& c) { return c == Color; });
}

bool HasDarkPixel(const QImage& Image, const QRect& Area) {
    return HasPixel(Image, Area, [](const QColor& c) { return c.lightness() < 80; });
}

// The window as the X server shows it, once Ready holds for the picture (painting is
// asynchronous), or the last picture after 20 seconds.
template <typename Predicate> QImage GrabWhen(QWidget& Window, Predicate&& Ready) {
    QImage shot;
    (void)QTest::qWaitFor(
        [&] {
            shot = GrabWindow(Window);
            return !shot.isNull() && Ready(shot);
        },
        20000);
    return shot;
}

// The settings page is painted: the teal feature summary and the window's colour beside the
// panel.
bool SettingsPainted(const QImage& Shot) {
    return Shot.size() == QSize(510, 427) && Shot.pixelColor(490, 100) == QColor(235, 238, 243) &&
           HasPixel(Shot, QRect(25, 19 + 172, 120, 14), [](const QColor& c) {
               return c.green() > c.red() + 60 && c.blue() > c.red() + 60 && c.lightness() < 160;
           });
}

class ScreenshotTest : public ::testing::Test {
protected:
    TPageServer Server;

    void SetUp() override {
        ASSERT_TRUE(Server.Listen());
        Server.SetPage(
            "/update/main1.htm",
            QStringLiteral("<html><body style='font-family:sans-serif'>"
                           "<h3>Tornevo 官方更新</h3><p>当前版本 V2.0.18 已是最新版本。</p>"
                           "</body></html>")
                .toUtf8());
        QDir().mkpath(QStringLiteral(TORNEVO_SCREENSHOT_DIR));
    }

    static QString Path(const char* Name) {
        return QDir(QStringLiteral(TORNEVO_SCREENSHOT_DIR)).filePath(QString::fromLatin1(Name));
    }
};

void FillIn(TDialUpFrm& Form) {
    Form.edtDialer->addItems({QStringLiteral("宽带连接"), QStringLiteral("ADSL")});
    Form.edtDialer->setCurrentIndex(0);
    Form.edtDialUser->setText(QStringLiteral("user@isp"));
    Form.edtDialPWD->setText(QStringLiteral("secret"));
    Form.edtDialTime->setText(QStringLiteral("180"));
}

// The picture of the program as built, with the product web site's address in the help text.
TEST_F(ScreenshotTest, SettingsTabAsBuilt) {
    TDialUpFrm form(TestOptions(ProductSiteUrl()));
    FillIn(form);
    form.CheckBox1->setChecked(true);
    form.RzPageControl1->SetActivePage(form.TabSheet1);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QImage shot = GrabWhen(form, SettingsPainted);
    EXPECT_TRUE(shot.save(Path("settings-tab-as-built.png")));
    EXPECT_TRUE(SettingsPainted(shot));
}

TEST_F(ScreenshotTest, EachTab) {
    TDialUpFrm form(TestOptions(Server.BaseUrl()));
    FillIn(form);
    QSignalSpy loaded(form.WebBrowser2, &TWebBrowser::DocumentComplete);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_TRUE(loaded.count() > 0 || loaded.wait(30000));
    form.CheckBox1->setChecked(true);

    // The first page shown is the update page, with the served page's heading in it.
    const QRect heading(5, 19 + 23 + 5, 200, 40);
    const QImage update =
        GrabWhen(form, [&](const QImage& Shot) { return HasDarkPixel(Shot, heading); });
    EXPECT_TRUE(update.save(Path("update-tab.png")));
    EXPECT_TRUE(HasDarkPixel(update, heading));

    form.RzPageControl1->SetActivePage(form.TabSheet1);
    const QImage settings = GrabWhen(form, SettingsPainted);
    EXPECT_TRUE(settings.save(Path("settings-tab.png")));
    EXPECT_TRUE(SettingsPainted(settings));

    // The icon's menu, open beside the window: white with the flat style's grey band.
    form.PopupMenu->popup(QPoint(600, 300));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.PopupMenu));
    const QRect menu = form.PopupMenu->geometry();
    auto grabMenu = [&] {
        return form.screen()
            ->grabWindow(0, menu.x(), menu.y(), menu.width(), menu.height())
            .toImage();
    };
    QImage menuShot;
    (void)QTest::qWaitFor(
        [&] {
            menuShot = grabMenu();
            return HasDarkPixel(menuShot, menuShot.rect());
        },
        20000);
    EXPECT_TRUE(menuShot.save(Path("popup-menu.png")));
    EXPECT_TRUE(HasColor(menuShot, menuShot.rect(), QColor(227, 231, 238)));
    form.PopupMenu->hide();
}

// Announces a new owner of an X selection the way a starting tray (or clipboard manager) does:
// a MANAGER message to every client through the root window.
void AnnounceManager(const char* Selection) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_NE(x11, nullptr);
    xcb_connection_t* connection = x11->connection();
    auto intern = [&](const char* Name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection,
            xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(Name)), Name),
            nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return atom;
    };
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_client_message_event_t event = {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = root;
    event.type = intern("MANAGER");
    event.data.data32[0] = XCB_CURRENT_TIME;
    event.data.data32[1] = intern(Selection);
    xcb_send_event(connection, 0, root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
}

class RestoreCounter : public QObject {
public:
    int Count = 0;
    bool eventFilter(QObject*, QEvent* Event) override {
        if (Event->type() == TMessageEvent::EventType() &&
            static_cast<TMessageEvent*>(Event)->Message.Msg == TaskbarCreatedMessage())
            ++Count;
        return false;
    }
};

TEST(NotificationAreaTest, ATrayAnnouncingItselfBringsTheIconBack) {
    TDialUpFrm form(TestOptions(ProductSiteUrl()));
    RestoreCounter restores;
    form.installEventFilter(&restores);
    form.AddTrayIcon();
    const QPointer<QSystemTrayIcon> old = FindNotifyIcon(&form, TDialUpFrm::IconID);
    ASSERT_FALSE(old.isNull());
    // A clipboard manager's announcement is not a notification area's.
    AnnounceManager("CLIPBOARD_MANAGER");
    AnnounceManager("_NET_SYSTEM_TRAY_S0");
    ASSERT_TRUE(QTest::qWaitFor([&] { return restores.Count > 0; }, 10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(restores.Count, 1);
    EXPECT_TRUE(old.isNull());
    EXPECT_NE(FindNotifyIcon(&form, TDialUpFrm::IconID), nullptr);
}

// The browser process on its own, as the update tab starts it.
class EmbeddedBrowserTest : public ::testing::Test {
protected:
    TPageServer Server;
    QProcess Browser;

    void SetUp() override {
        ASSERT_TRUE(Server.Listen());
        Server.SetPage("/update/main1.htm", "<html><body><h1>main</h1></body></html>");
    }
    void TearDown() override {
        Browser.kill();
        Browser.waitForFinished(5000);
    }

    void Start(WId Parent) {
        Browser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        Browser.start(TWebBrowser::DefaultProgram(),
                      {QStringLiteral("--size"), QStringLiteral("300x200"),
                       QStringLiteral("--parent"), QString::number(Parent),
                       UpdatePageUrl(Server.BaseUrl()).toString()});
        ASSERT_TRUE(Browser.waitForStarted(10000));
    }

    // Waits serving events (the page server, the X connection) until the browser has ended.
    bool Ended(int TimeoutMs) {
        return QTest::qWaitFor([&] { return Browser.state() == QProcess::NotRunning; }, TimeoutMs);
    }

    static void Flush() {
        xcb_flush(qApp->nativeInterface<QNativeInterface::QX11Application>()->connection());
    }

    static int ChildWindows(WId Parent) {
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        xcb_connection_t* connection = x11->connection();
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(
            connection, xcb_query_tree(connection, static_cast<xcb_window_t>(Parent)), nullptr);
        const int count = tree ? xcb_query_tree_children_length(tree) : -1;
        std::free(tree);
        return count;
    }
};

TEST_F(EmbeddedBrowserTest, LivesInsideTheGivenWindowAndEndsWithIt) {
    QWindow host;
    host.resize(300, 200);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    Start(host.winId());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            Browser.waitForReadyRead(50);
            return Browser.readAllStandardOutput().contains("loaded 1 ") || !Browser.isOpen();
        },
        30000));
    EXPECT_EQ(ChildWindows(host.winId()), 1);

    host.destroy();
    Flush();
    ASSERT_TRUE(Ended(10000)) << "the browser outlived its window";
    EXPECT_EQ(Browser.exitStatus(), QProcess::NormalExit);
}

TEST_F(EmbeddedBrowserTest, AWindowAlreadyGoneEndsTheBrowserWithoutAWindowOfItsOwn) {
    QWindow gone;
    gone.create();
    const WId id = gone.winId();
    gone.destroy();
    Flush();
    Start(id);
    ASSERT_TRUE(Ended(30000));
    EXPECT_EQ(Browser.exitCode(), 1);
    EXPECT_FALSE(Browser.readAllStandardOutput().contains("loaded"));
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    if (listing)
        return RUN_ALL_TESTS();
    TXvfb xvfb;
    std::string error;
    if (!xvfb.Start(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    setenv("DISPLAY", xvfb.Display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
