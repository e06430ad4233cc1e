// The real program under Xvfb with a notification area (trayer), driven with xdotool the way a
// user drives it. Each test copies the executable into a folder of its own, since the settings
// file lives beside the executable.

#include "ChildProcess.h"
#include "X11Session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

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

} // namespace
