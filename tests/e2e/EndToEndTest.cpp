// The real program under Xvfb with a notification area (trayer), driven with xdotool the way a
// user drives it. Each test copies the executable into a folder of its own, since the settings
// file lives beside the executable.

#include "ChildProcess.h"
#include "X11Session.h"
#ifdef TORNEVO_NM_TEMPLATE
#include "FakeNetworkManager.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QJsonArray>
#include <QJsonObject>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>

#ifndef TORNEVO_EXECUTABLE
#error "TORNEVO_EXECUTABLE names the program under test"
#endif

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string Caption = "Tornevo V2.0.18";
const TRgb WindowColour{235, 238, 243};
const TRgb InactiveTabColour{214, 219, 228};

std::string ReadFile(const fs::path& Path) {
    std::ifstream in(Path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const fs::path& Path, const std::string& Text) {
    std::ofstream out(Path, std::ios::binary | std::ios::trunc);
    out << Text;
}

class EndToEndTest : public ::testing::Test {
protected:
    fs::path Folder;
    TXvfb Xvfb;
    TX11Session X;
    TChildProcess Trayer;
    TChildProcess Program;

    void SetUp() override {
        char pattern[] = "/tmp/tornevo-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        Folder = pattern;
        fs::create_directories(Folder / "bin");
        fs::create_directories(Folder / "home");
        fs::create_directories(Folder / "runtime");
        fs::permissions(Folder / "runtime", fs::perms::owner_all);
        // The desktop's web browser: notes what it was asked to open.
        WriteFile(Folder / "bin" / "xdg-open",
                  "#!/bin/sh\necho \"$@\" >> '" + (Folder / "browser.log").string() + "'\n");
        fs::permissions(Folder / "bin" / "xdg-open", fs::perms::owner_all);
        fs::copy_file(TORNEVO_EXECUTABLE, Folder / "tornevo");

        std::string error;
        ASSERT_TRUE(Xvfb.Start(error)) << error;
        ASSERT_TRUE(X.Open(Xvfb.Display()));
        StartTrayer();
    }

    void TearDown() override {
        Program.Stop();
        Trayer.Stop();
        X.Close();
        Xvfb.Stop();
        if (HasFailure()) {
            std::cerr << "--- program output ---\n" << ReadFile(Folder / "program.log");
            std::cerr << "--- kept in " << Folder << "\n";
        } else {
            std::error_code ignored;
            fs::remove_all(Folder, ignored);
        }
    }

    void StartTrayer() {
        ASSERT_TRUE(Trayer.Start({"trayer", "--edge", "top", "--align", "left", "--widthtype",
                                  "pixel", "--width", "120", "--height", "26", "--transparent",
                                  "false", "--SetDockType", "false", "--SetPartialStrut", "false"},
                                 {"DISPLAY=" + Xvfb.Display()}, -1,
                                 (Folder / "trayer.log").string()));
        ASSERT_TRUE(WaitFor([&] { return X.SelectionOwned("_NET_SYSTEM_TRAY_S0"); }, 20s))
            << "trayer did not take the tray";
    }

    void StartProgram(const std::vector<std::string>& ExtraEnv = {}) {
        std::vector<std::string> env{
            "DISPLAY=" + Xvfb.Display(), "QT_QPA_PLATFORM=xcb",
            "HOME=" + (Folder / "home").string(),
            "XDG_RUNTIME_DIR=" + (Folder / "runtime").string(),
            "PATH=" + (Folder / "bin").string() + ":" + std::getenv("PATH"),
            // No desktop session: the XEmbed tray and xdg-open are the desktop.
            "DBUS_SESSION_BUS_ADDRESS=", "XDG_CURRENT_DESKTOP=", "DESKTOP_SESSION=",
            "KDE_FULL_SESSION=", "GNOME_DESKTOP_SESSION_ID=", "BROWSER="};
        env.insert(env.end(), ExtraEnv.begin(), ExtraEnv.end());
        ASSERT_TRUE(Program.Start({(Folder / "tornevo").string()}, env, -1,
                                  (Folder / "program.log").string()));
    }

    fs::path SettingsFile() const { return Folder / "dialup.ini"; }

    std::vector<TX11Window> Windows() { return X.WindowsOf(Program.Pid()); }

    std::optional<TX11Window> MainWindow() {
        for (const TX11Window& w : Windows())
            if (w.Viewable && w.Name == Caption && w.Width == 510 && w.Height == 427)
                return w;
        return std::nullopt;
    }

    // The icon as the tray shows it: a small window of the program inside the tray's strip.
    std::optional<TX11Window> TrayIcon() {
        for (const TX11Window& w : Windows())
            if (w.Viewable && w.Width <= 64 && w.Height <= 64 && w.Y < 26 && w.X < 120)
                return w;
        return std::nullopt;
    }

    std::optional<TX11Window> Menu() {
        for (const TX11Window& w : Windows())
            if (w.Viewable && w.OverrideRedirect && w.Width > 64 && w.Height < 200)
                return w;
        return std::nullopt;
    }

    bool WaitMainWindow(bool Shown, std::chrono::milliseconds Timeout = 60s) {
        return WaitFor([&] { return MainWindow().has_value() == Shown; }, Timeout);
    }

    TX11Window WaitTrayIcon() {
        std::optional<TX11Window> icon;
        EXPECT_TRUE(WaitFor([&] { return (icon = TrayIcon()).has_value(); }, 60s))
            << "no icon in the tray";
        return icon.value_or(TX11Window{});
    }

    void Xdotool(const std::vector<std::string>& Args) {
        std::vector<std::string> command{"xdotool"};
        command.insert(command.end(), Args.begin(), Args.end());
        TChildProcess tool;
        ASSERT_TRUE(tool.Start(command, {"DISPLAY=" + Xvfb.Display()}));
        ASSERT_TRUE(tool.WaitExit(20s)) << "xdotool did not finish";
    }

    void Click(int X, int Y, int Button = 1, int Count = 1) {
        Xdotool({"mousemove", std::to_string(X), std::to_string(Y), "click", "--repeat",
                 std::to_string(Count), "--delay", "120", std::to_string(Button)});
    }

    void DoubleClickIcon() {
        const TX11Window icon = WaitTrayIcon();
        Click(icon.X + icon.Width / 2, icon.Y + icon.Height / 2, 1, 2);
    }

    // The first tab is drawn in the window's colour when it is the active one (sampled left
    // of its caption).
    bool SettingsTabActive(const TX11Window& Window) {
        return X.Pixel(Window.X + 5, Window.Y + 10) == WindowColour;
    }
    bool UpdateTabActive(const TX11Window& Window) {
        return X.Pixel(Window.X + 5, Window.Y + 10) == InactiveTabColour;
    }

    // Dark pixels (text) in the browser's area below the refresh button.
    bool PageDrawn(const TX11Window& Window) {
        for (const TRgb& p : X.Pixels(Window.X, Window.Y + 19 + 23, 510, 385))
            if (p.Red + p.Green + p.Blue < 200)
                return true;
        return false;
    }

    // Types into one of the settings tab's fields, replacing its text.
    void TypeInto(const TX11Window& Window, int FieldLeft, int FieldTop, const std::string& Text) {
        // The field's place: the tab's page starts 19 pixels down, the panel at 36, 5.
        Click(Window.X + 36 + FieldLeft + 40, Window.Y + 19 + 5 + FieldTop + 10);
        Xdotool({"key", "--delay", "50", "ctrl+a", "BackSpace"});
        Xdotool({"type", "--delay", "50", Text});
    }

    void ShowSettingsTab(const TX11Window& Window) {
        Click(Window.X + 30, Window.Y + 9);
        ASSERT_TRUE(WaitFor([&] { return SettingsTabActive(Window); }, 20s));
    }

    // Turns to the update tab and waits until it shows: the program then has handled every
    // input sent before (it reads its X events in order).
    void ShowUpdateTab(const TX11Window& Window) {
        Click(Window.X + 95, Window.Y + 9);
        ASSERT_TRUE(WaitFor([&] { return UpdateTabActive(Window); }, 20s));
    }

    // Right-clicks the icon and chooses the menu's second item, "退出系统(&E)".
    void ExitFromTheMenu() {
        const TX11Window icon = WaitTrayIcon();
        const int x = icon.X + icon.Width / 2;
        const int y = icon.Y + icon.Height / 2;
        Click(x, y, 3);
        std::optional<TX11Window> menu;
        ASSERT_TRUE(WaitFor([&] { return (menu = Menu()).has_value(); }, 20s)) << "no menu";
        // The menu opens at the mouse.
        EXPECT_LE(std::abs(menu->X - x), 2);
        EXPECT_LE(std::abs(menu->Y - y), 2);
        Click(menu->X + menu->Width / 2, menu->Y + menu->Height * 3 / 4);
    }

    void ExpectCleanExit() {
        ASSERT_TRUE(Program.WaitExit(30s)) << "the program did not end";
        EXPECT_TRUE(WIFEXITED(Program.ExitStatus()));
        EXPECT_EQ(WEXITSTATUS(Program.ExitStatus()), 0);
    }
};

TEST_F(EndToEndTest, ExitDuringTheFirstShowingEndsTheProgramAndKeepsWhatWasTyped) {
    // The window keeps its size in pixels whatever the display's scaling.
    StartProgram({"QT_SCALE_FACTOR=2"});
    ASSERT_TRUE(WaitMainWindow(true)) << "the window did not appear at 510 x 427";
    const TX11Window window = *MainWindow();
    EXPECT_EQ(window.X, 282);
    EXPECT_EQ(window.Y, 152);
    // The first page shown is the update page, and the browser (with the resources it finds
    // for a copied executable) draws a page there: the update page or its error page.
    EXPECT_TRUE(WaitFor([&] { return UpdateTabActive(window); }, 20s));
    EXPECT_TRUE(WaitFor([&] { return PageDrawn(window); }, 60s)) << "the browser drew nothing";

    ShowSettingsTab(window);
    TypeInto(window, 116, 35, "e2e-user");
    TypeInto(window, 115, 87, "300");
    ExitFromTheMenu();
    ExpectCleanExit();
    const std::string settings = ReadFile(SettingsFile());
    EXPECT_NE(settings.find("dialuser=e2e-user\r\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("dialtime=300\r\n"), std::string::npos) << settings;
    EXPECT_NE(settings.find("start=0\r\n"), std::string::npos) << settings;
}

// With the switch saved on, the cycle runs from start-up: the file is rewritten before the
// window shows, the count goes on while the window is hidden (the product site opens on the
// 60th tick), and the icon brings the window back.
TEST_F(EndToEndTest, ASavedSwitchRunsTheCycleFromStartUpAndWhileHidden) {
    WriteFile(SettingsFile(), "START=1\r\nDialUser=saved\r\nextra=line\r\n");
    StartProgram();
    ASSERT_TRUE(WaitMainWindow(true)) << "the window did not appear";
    const std::string rewritten = ReadFile(SettingsFile());
    EXPECT_EQ(rewritten.find("extra"), std::string::npos) << rewritten;
    EXPECT_NE(rewritten.find("dialuser=saved\r\n"), std::string::npos) << rewritten;
    EXPECT_NE(rewritten.find("start=1\r\n"), std::string::npos) << rewritten;

    X.RequestClose(MainWindow()->Id);
    ASSERT_TRUE(WaitMainWindow(false, 20s)) << "closing did not hide the window";
    EXPECT_TRUE(Program.Running());

    ASSERT_TRUE(WaitFor([&] { return !ReadFile(Folder / "browser.log").empty(); }, 120s))
        << "the 60th tick did not open the product site";
    EXPECT_NE(ReadFile(Folder / "browser.log").find(TORNEVO_SITE_URL), std::string::npos);
    EXPECT_TRUE(Program.Running());

    DoubleClickIcon();
    EXPECT_TRUE(WaitMainWindow(true, 20s)) << "the icon did not bring the window back";

    ASSERT_TRUE(Program.Signal(SIGTERM));
    ExpectCleanExit();
    EXPECT_NE(ReadFile(SettingsFile()).find("start=1\r\n"), std::string::npos);
}

TEST_F(EndToEndTest, TheIconShowsTheClosedWindowAgain) {
    StartProgram();
    ASSERT_TRUE(WaitMainWindow(true)) << "the window did not appear";
    X.RequestClose(MainWindow()->Id);
    ASSERT_TRUE(WaitMainWindow(false, 20s)) << "closing did not hide the window";
    EXPECT_TRUE(Program.Running());

    DoubleClickIcon();
    ASSERT_TRUE(WaitMainWindow(true, 20s)) << "the icon did not bring the window back";
    // Closing again, and Exit from the menu while hidden.
    X.RequestClose(MainWindow()->Id);
    ASSERT_TRUE(WaitMainWindow(false, 20s));
    ExitFromTheMenu();
    ExpectCleanExit();
}

// The icon is added again whenever a notification area (re)appears: one that starts after the
// program, and one that restarts.
TEST_F(EndToEndTest, TheIconFollowsTheNotificationArea) {
    Trayer.Stop();
    ASSERT_TRUE(WaitFor([&] { return !X.SelectionOwned("_NET_SYSTEM_TRAY_S0"); }, 20s));
    StartProgram();
    ASSERT_TRUE(WaitMainWindow(true)) << "the window did not appear";
    EXPECT_FALSE(TrayIcon().has_value());
    StartTrayer();
    WaitTrayIcon();

    Trayer.Stop();
    ASSERT_TRUE(WaitFor([&] { return !TrayIcon().has_value(); }, 20s));
    StartTrayer();
    X.RequestClose(MainWindow()->Id);
    ASSERT_TRUE(WaitMainWindow(false, 20s));
    DoubleClickIcon();
    EXPECT_TRUE(WaitMainWindow(true, 20s)) << "the icon did not come back with the area";
    ExitFromTheMenu();
    ExpectCleanExit();
}

class SignalEndTest : public EndToEndTest, public ::testing::WithParamInterface<int> {};

TEST_P(SignalEndTest, SavesTheSettingsLikeExit) {
    StartProgram();
    ASSERT_TRUE(WaitMainWindow(true)) << "the window did not appear";
    const TX11Window window = *MainWindow();
    ShowSettingsTab(window);
    TypeInto(window, 116, 35, "signalled");
    ShowUpdateTab(window);
    ASSERT_TRUE(Program.Signal(GetParam()));
    ExpectCleanExit();
    EXPECT_NE(ReadFile(SettingsFile()).find("dialuser=signalled\r\n"), std::string::npos)
        << ReadFile(SettingsFile());
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalEndTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto& Info) { return std::string(strsignal(Info.param)); });

#ifdef TORNEVO_NM_TEMPLATE

// The program against a pretend NetworkManager on the test program's private system bus, which
// the program finds through DBUS_SYSTEM_BUS_ADDRESS (inherited from the test).
class ServiceFaultTest : public EndToEndTest {
protected:
    tnvtest::FakeNetworkManager Service;
    // Events of service instances that were killed, so counts go on across a restart.
    QStringList EarlierEvents;
    std::chrono::milliseconds SlowestAnswer{0};
    int Faults = 0;

    bool StartService(int DelayMs) {
        QJsonObject profile{{QStringLiteral("id"), QStringLiteral("Line")},
                            {QStringLiteral("type"), QStringLiteral("pppoe")}};
        return Service.Start({{QStringLiteral("profiles"), QJsonArray{profile}},
                              {QStringLiteral("delay_ms"), DelayMs}});
    }

    int CountEvents(const QString& Text) {
        int count = 0;
        for (const QString& e : EarlierEvents + Service.Events())
            count += e.contains(Text) ? 1 : 0;
        return count;
    }

    // Waits until Count more events with Text have happened than when called.
    bool WaitEvents(const QString& Text, int Count, std::chrono::milliseconds Timeout = 90s) {
        const int target = CountEvents(Text) + Count;
        return WaitFor([&] { return CountEvents(Text) >= target; }, Timeout, 200ms);
    }

    // The seconds display, as drawn (settings tab).
    std::vector<TRgb> SecondsDisplay(const TX11Window& Window) {
        return X.Pixels(Window.X + 36 + 57, Window.Y + 19 + 5 + 143, 80, 13);
    }

    // The window answers input: the tabs turn when clicked. Notes the slowest answer.
    void ExpectAnswers(const TX11Window& Window) {
        const auto start = std::chrono::steady_clock::now();
        ShowUpdateTab(Window);
        ShowSettingsTab(Window);
        SlowestAnswer =
            std::max(SlowestAnswer, std::chrono::duration_cast<std::chrono::milliseconds>(
                                        (std::chrono::steady_clock::now() - start) / 2));
    }

    // The cycle keeps counting: the seconds display changes.
    void ExpectCounting(const TX11Window& Window) {
        const std::vector<TRgb> before = SecondsDisplay(Window);
        EXPECT_TRUE(WaitFor([&] { return SecondsDisplay(Window) != before; }, 30s))
            << "the seconds display stood still";
    }

    void ExpectAlive(const TX11Window& Window) {
        ExpectAnswers(Window);
        ExpectCounting(Window);
        EXPECT_TRUE(Program.Running());
    }

    // Drops the line of an active connection that is up; false when none is.
    bool DropAConnectedLine() {
        for (const QString& active : Service.ActiveConnections()) {
            if (Service.ActiveState(active) != 2)
                continue;
            QDBusMessage call = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.NetworkManager"),
                QStringLiteral("/org/freedesktop"), QStringLiteral("org.freedesktop.DBus.Mock"),
                QStringLiteral("DropLine"));
            call << QVariant::fromValue(QDBusObjectPath(active)) << 8u; // carrier lost
            // The program may hang it up first; then another try.
            if (Service.Bus().call(call, QDBus::Block, 10000).type() == QDBusMessage::ReplyMessage)
                return true;
        }
        return false;
    }
};

// A three-second interval and a one-second pause: a whole cycle takes about ten seconds.
TEST_F(ServiceFaultTest, TheCycleRidesOutEveryServiceFault) {
    ASSERT_TRUE(StartService(500)) << Service.Output().toStdString();
    WriteFile(SettingsFile(), "dialertext=0\r\ndialuser=fault-user\r\ndialpwd=fault-pass\r\n"
                              "dialtime=3\r\ndialwainttime=1\r\nstart=1\r\n");
    StartProgram();
    ASSERT_TRUE(WaitMainWindow(true)) << "the window did not appear";
    const TX11Window window = *MainWindow();
    ShowSettingsTab(window);

    // Normal cycles: dialled, connected, hung up at the interval, dialled again.
    ASSERT_TRUE(WaitEvents(QStringLiteral("Line: connected"), 2)) << Service.Output().toStdString();
    ExpectAlive(window);

    // Dials that fail: each pause ends in another dial.
    Service.SetBehaviour({{QStringLiteral("fail_reason"), 10u}});
    ++Faults;
    EXPECT_TRUE(WaitEvents(QStringLiteral("dial failed"), 3)) << "no redial after failed dials";
    ExpectAlive(window);

    // A dial that hangs in "activating" for many seconds before it connects: no second dial
    // over it, and the cycle goes on once it is up.
    Service.SetBehaviour(
        {{QStringLiteral("fail_reason"), 0u}, {QStringLiteral("delay_ms"), 30000u}});
    ++Faults;
    ASSERT_TRUE(WaitEvents(QStringLiteral("dialling as"), 1));
    const int dialsWhileHanging = CountEvents(QStringLiteral("dialling as"));
    ExpectAlive(window);
    ExpectAlive(window);
    EXPECT_EQ(CountEvents(QStringLiteral("dialling as")), dialsWhileHanging)
        << "dialled again over a dial under way";
    EXPECT_TRUE(WaitEvents(QStringLiteral("Line: connected"), 1)) << "the slow dial was lost";
    ExpectAlive(window);

    // A line dropped while connected.
    Service.SetBehaviour({{QStringLiteral("delay_ms"), 500u}});
    ASSERT_TRUE(WaitEvents(QStringLiteral("Line: connected"), 1));
    ASSERT_TRUE(WaitFor([&] { return DropAConnectedLine(); }, 60s, 100ms));
    ++Faults;
    EXPECT_TRUE(WaitEvents(QStringLiteral("Line: connected"), 1)) << "no redial after a drop";
    ExpectAlive(window);

    // The service killed during a dial, and back a few seconds later.
    Service.SetBehaviour({{QStringLiteral("delay_ms"), 8000u}});
    ASSERT_TRUE(WaitEvents(QStringLiteral("dialling as"), 1));
    EarlierEvents += Service.Events();
    ASSERT_TRUE(Service.Kill());
    ++Faults;
    ExpectAlive(window);
    ExpectAlive(window);
    ASSERT_TRUE(StartService(500)) << Service.Output().toStdString();
    EXPECT_TRUE(WaitEvents(QStringLiteral("Line: connected"), 1)) << "no dial after the restart";
    ExpectAlive(window);

    // A service that does not answer for seconds, then answers again.
    Service.Pause();
    ++Faults;
    for (int round = 0; round < 4; ++round)
        ExpectAlive(window);
    Service.Resume();

    // Back to normal cycles.
    EXPECT_TRUE(WaitEvents(QStringLiteral("Line: connected"), 2)) << "no normal cycles after";
    ExpectAlive(window);

    std::cout << "faults injected: " << Faults
              << ", dials: " << CountEvents(QStringLiteral("dialling as"))
              << ", connected: " << CountEvents(QStringLiteral("Line: connected"))
              << ", slowest answer of the window: " << SlowestAnswer.count() << " ms\n";
    ASSERT_TRUE(Program.Signal(SIGTERM));
    ExpectCleanExit();
}

// Everything a user could find the password in: command lines and environments of the program
// and of every process it started (the browser's included), its output, and every file in its
// folder, home and temporary folder; only dialup.ini holds it, readable by its owner alone.
TEST_F(ServiceFaultTest, TheTypedPasswordStaysInTheSettingsFileAndTheService) {
    const std::string password = "Tq7-secret-Zx4";
    ASSERT_TRUE(StartService(300)) << Service.Output().toStdString();
    fs::create_directories(Folder / "tmp");
    WriteFile(SettingsFile(), "dialertext=0\r\ndialuser=secret-user\r\ndialtime=3\r\n"
                              "dialwainttime=1\r\nstart=0\r\n");
    // The user's file, as the program itself creates it: an existing file keeps its mode.
    fs::permissions(SettingsFile(), fs::perms::owner_read | fs::perms::owner_write);
    StartProgram({"TMPDIR=" + (Folder / "tmp").string()});
    ASSERT_TRUE(WaitMainWindow(true)) << "the window did not appear";
    const TX11Window window = *MainWindow();
    // The browser's processes are running before anything is checked.
    ASSERT_TRUE(WaitFor([&] { return PageDrawn(window); }, 60s));
    ShowSettingsTab(window);
    TypeInto(window, 116, 61, password);
    // The switch: saves, and the cycle dials with the typed password.
    Click(window.X + 36 + 276 + 8, window.Y + 19 + 5 + 142 + 8);
    ASSERT_TRUE(WaitFor(
        [&] {
            for (const tnvtest::Received& r : Service.ReceivedCredentials())
                if (r.Password.toStdString() == password)
                    return true;
            return false;
        },
        90s, 200ms))
        << "the service never received the typed password\n"
        << Service.Output().toStdString();

    const auto expectNowhere = [&](const std::string& Where, bool Running) {
        // The program and its descendants, found through their parents.
        std::vector<pid_t> family = Descendants(Program.Pid());
        family.insert(family.begin(), Program.Pid());
        bool browserSeen = false;
        for (const pid_t pid : family) {
            const std::string command =
                ReadFile(fs::path("/proc") / std::to_string(pid) / "cmdline");
            browserSeen = browserSeen || command.find("tornevo-browser") != std::string::npos;
            for (const char* part : {"cmdline", "environ"}) {
                const std::string text = ReadFile(fs::path("/proc") / std::to_string(pid) / part);
                EXPECT_EQ(text.find(password), std::string::npos)
                    << Where << ": in /proc/" << pid << "/" << part;
            }
        }
        if (Running) {
            EXPECT_TRUE(browserSeen) << "the browser's processes were not among those checked";
        }
        if (!HasFailure())
            std::cout << Where << ": " << family.size() << " processes checked\n";

        int files = 0;
        for (const auto& entry : fs::recursive_directory_iterator(
                 Folder, fs::directory_options::skip_permission_denied)) {
            if (!entry.is_regular_file() || entry.path() == SettingsFile())
                continue;
            ++files;
            EXPECT_EQ(ReadFile(entry.path()).find(password), std::string::npos)
                << Where << ": in " << entry.path();
        }
        std::cout << Where << ": " << files << " files checked\n";
        struct stat info {};
        ASSERT_EQ(::stat(SettingsFile().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << "dialup.ini is readable by others";
        EXPECT_FALSE(Service.Output().contains(QString::fromStdString(password)))
            << "the service printed or logged the password";
        EXPECT_TRUE(Service.DiskWrites().isEmpty()) << "the service would have written it out";
    };
    expectNowhere("while dialling", true);

    ExitFromTheMenu();
    ExpectCleanExit();
    EXPECT_NE(ReadFile(SettingsFile()).find("dialpwd=" + password + "\r\n"), std::string::npos);
    expectNowhere("after the end", false);
}

#endif

} // namespace
