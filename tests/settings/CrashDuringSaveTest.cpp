// Kills a process at random moments while it saves dialup.ini over and over: whatever moment
// the kill comes, the file must read back as one complete set of values, old or new.
#include "Settings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

TSettingsValues Variant(int n) {
    TSettingsValues v;
    v.ItemCount = 8;
    v.ItemIndex = n % 2 ? 3 : 5;
    // Values of different lengths, so that a torn write cannot look complete.
    v.User = n % 2 ? "odd-user" : "even-user-with-a-longer-name";
    v.Pwd = n % 2 ? std::string(300, 'p') : "pw";
    v.Time = n % 2 ? "180" : "3600";
    v.WaintTime = n % 2 ? "5" : "12";
    v.Checked = n % 2 == 1;
    return v;
}

bool Same(const TSettingsValues& a, const TSettingsValues& b) {
    return a.ItemIndex == b.ItemIndex && a.User == b.User && a.Pwd == b.Pwd && a.Time == b.Time &&
           a.WaintTime == b.WaintTime && a.Checked == b.Checked;
}

TEST(CrashDuringSave, FileIsAlwaysOldOrNewWhateverMomentTheKillComes) {
    constexpr int Kills = 300;
    const fs::path folder =
        fs::temp_directory_path() / ("tornevo-kill-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string path = (folder / "dialup.ini").string();
    ASSERT_TRUE(SaveSettings(Variant(0), path));

    std::mt19937 random(20261211u);
    int survived = 0;
    for (int kill = 0; kill < Kills; ++kill) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int n = 1;; ++n)
                SaveSettings(Variant(n), path);
        }
        // Anywhere from the first save to a few dozen saves in.
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);

        TSettingsValues loaded;
        loaded.ItemCount = 8;
        LoadSettings(loaded, path);
        ASSERT_TRUE(Same(loaded, Variant(0)) || Same(loaded, Variant(1)))
            << "kill " << kill << ": torn file, user '" << loaded.User << "'";
        ++survived;
    }
    RecordProperty("kills_survived", survived);
    std::error_code ec;
    fs::remove_all(folder, ec);
}

} // namespace
