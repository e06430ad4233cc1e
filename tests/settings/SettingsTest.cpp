#include "Settings.h"

#include "ConnectionControl.h"
#include "FakeWindow.h"
#include "RedialEngine.h"
#include "SimulatedRas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <ostream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

class TempFolder {
public:
    TempFolder() {
#ifdef _WIN32
        std::random_device random;
        for (int attempt = 0; attempt < 100 && FPath.empty(); ++attempt) {
            const fs::path folder =
                fs::temp_directory_path() / ("tornevo-settings-" + std::to_string(random()));
            std::error_code ec;
            if (fs::create_directory(folder, ec))
                FPath = folder.string() + "/";
        }
        if (FPath.empty())
            throw std::runtime_error("no temporary folder");
#else
        std::string pattern = (fs::temp_directory_path() / "tornevo-settings-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        FPath = pattern + "/";
#endif
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(FPath, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Path(const std::string& Name = "dialup.ini") const {
        return FPath + Name;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(FPath))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string FPath;
};

void WriteBytes(const std::string& Path, const std::string& Bytes) {
    std::ofstream out(Path, std::ios::binary | std::ios::trunc);
    out << Bytes;
    ASSERT_TRUE(out.good()) << Path;
}

std::string ReadBytes(const std::string& Path) {
    std::ifstream in(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Escaped(const std::string& Bytes) {
    std::ostringstream os;
    for (const char c : Bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r')
            os << "\\r";
        else if (c == '\n')
            os << "\\n";
        else if (u < 32 || u >= 127)
            os << "\\x" << std::hex << static_cast<int>(u) << std::dec;
        else
            os << c;
    }
    return os.str();
}

// The six values of the settings tab, as a comparable whole; defaults are the design values.
struct Six {
    int Index = -1;
    std::string User{};
    std::string Pwd{};
    std::string Time = "0";
    std::string Wait = "5";
    bool Start = false;
    bool operator==(const Six&) const = default;
};

void PrintTo(const Six& v, std::ostream* os) {
    *os << "{index " << v.Index << ", user \"" << Escaped(v.User) << "\", pwd \"" << Escaped(v.Pwd)
        << "\", time \"" << Escaped(v.Time) << "\", wait \"" << Escaped(v.Wait) << "\", start "
        << v.Start << "}";
}

constexpr int SelectorItems = 3;

TSettingsValues ValuesOf(const Six& v) {
    TSettingsValues values;
    values.ItemCount = SelectorItems;
    values.ItemIndex = v.Index;
    values.User = v.User;
    values.Pwd = v.Pwd;
    values.Time = v.Time;
    values.WaintTime = v.Wait;
    values.Checked = v.Start;
    return values;
}

Six SixOf(const TSettingsValues& values) {
    return Six{values.ItemIndex, values.User,      values.Pwd,
               values.Time,      values.WaintTime, values.Checked};
}

// A loader that blocks on a FIFO or reads a device forever would hang the suite: give up
// loudly instead.
void LoadWithinBound(ISettingsControls& Controls, const std::string& Path) {
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    std::thread loader([&] {
        LoadSettings(Controls, Path);
        done.set_value();
    });
    if (finished.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        std::fprintf(stderr, "LoadSettings(\"%s\") did not return\n", Path.c_str());
        std::_Exit(1);
    }
    loader.join();
}

// What stands at the file's place.
enum class Place { File, Missing, Folder, Fifo, DeviceLink, Oversized };

struct LoadCase {
    std::string What;
    std::string Bytes;
    Six Expect;
    Six Before = {};
    Place At = Place::File;
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.What;
}

class LoadTest : public ::testing::TestWithParam<LoadCase> {
protected:
    TempFolder Folder;
};

TEST_P(LoadTest, LoadsTheSixValues) {
    const LoadCase& c = GetParam();
    const std::string path = Folder.Path();
    switch (c.At) {
    case Place::File:
        WriteBytes(path, c.Bytes);
        break;
    case Place::Missing:
        break;
    case Place::Folder:
        ASSERT_TRUE(fs::create_directory(path));
        break;
#ifdef _WIN32
    case Place::Fifo:
    case Place::DeviceLink:
        GTEST_SKIP() << "no FIFOs or links to devices in a Windows folder";
#else
    case Place::Fifo:
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        break;
    case Place::DeviceLink:
        ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0);
        break;
#endif
    case Place::Oversized: {
        // 100 MB, sparse: costs no disk, but a loader would have to read it all.
        WriteBytes(path, "dialuser=big\r\n");
        fs::resize_file(path, 100 * 1024 * 1024);
        break;
    }
    }
    TSettingsValues values = ValuesOf(c.Before);
    int clicks = 0;
    values.OnStartChanged = [&] { ++clicks; };
    LoadWithinBound(values, path);
    EXPECT_EQ(SixOf(values), c.Expect);
    EXPECT_EQ(clicks, c.Before.Start != c.Expect.Start ? 1 : 0);
    if (c.At == Place::File) {
        EXPECT_EQ(ReadBytes(path), c.Bytes) << "loading never writes without a click";
    }
}

const std::string FullFile = "dialertext=1\r\ndialuser=alice\r\ndialpwd=secret\r\n"
                             "dialtime=180\r\ndialwainttime=7\r\nstart=0\r\n";

// A design-value window that had an account and a selection, to tell "kept" from "emptied".
const Six Prior{2, "prior-user", "prior-pwd", "0", "5", false};

Six With(Six v, void (*Change)(Six&)) {
    Change(v);
    return v;
}

std::string LargeButAllowed() {
    std::string text;
    while (text.size() < MaxSettingsFileSize - 4096)
        text += "padding=" + std::string(90, 'x') + "\r\n";
    return text + "dialuser=late\r\nstart=1\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Keys, LoadTest,
    ::testing::Values(
        LoadCase{"lower-case keys", FullFile, {1, "alice", "secret", "180", "7", false}},
        LoadCase{"upper-case keys",
                 "DIALERTEXT=2\r\nDIALUSER=bob\r\nDIALPWD=pw\r\nDIALTIME=60\r\n"
                 "DIALWAINTTIME=3\r\nSTART=1\r\n",
                 {2, "bob", "pw", "60", "3", true}},
        LoadCase{"mixed-case keys",
                 "DialerText=0\r\nDialUser=Carol\r\nDialPwd=x\r\nDialTime=30\r\n"
                 "dialWaintTime=1\r\nStart=1\r\n",
                 {0, "Carol", "x", "30", "1", true}},
        LoadCase{"extra lines, repeated keys: the first wins",
                 "[dialup]\r\n; note\r\nfoo=bar\r\ndialuser\r\n=nokey\r\ndialuser=first\r\n"
                 "DIALUSER=second\r\ndialpwd=one\r\ndialpwd=two\r\nstart=1\r\nstart=0\r\n",
                 {-1, "first", "one", "0", "5", true}},
        LoadCase{"a blank before or after the key is another key",
                 "dialuser =alice\r\n dialpwd=pw\r\n\tdialtime=9\r\ndialwainttime=4\r\n",
                 With(Prior,
                      [](Six& v) {
                          v.User = "";
                          v.Wait = "4";
                      }),
                 Prior},
        LoadCase{"values keep everything after the first =",
                 "dialuser=a=b\r\ndialpwd==x==\r\ndialtime=1=2\r\n",
                 {-1, "a=b", "=x==", "1=2", "5", false}},
        LoadCase{"8-bit bytes kept as they are",
                 "dialuser=\xD5\xC5\xC8\xFD\r\ndialpwd=p\xE4\xDF\xFF\r\n",
                 {-1, "\xD5\xC5\xC8\xFD", "p\xE4\xDF\xFF", "0", "5", false}}));

INSTANTIATE_TEST_SUITE_P(
    Values, LoadTest,
    ::testing::Values(
        LoadCase{"start is '1 '", "start=1 \r\n", {.Start = true}},
        LoadCase{"start is '1'", "start=1", {.Start = true}},
        LoadCase{"start is tab 1 tab", "start=\t1\t", {.Start = true}},
        LoadCase{"start is 'true'", "start=true\r\n", {}},
        LoadCase{"start is '01'", "start=01\r\n", {}},
        LoadCase{"start is '0' switches off", "start=0\r\n", {}, {.Start = true}},
        LoadCase{"no start switches off", "dialuser=u\r\n", {.User = "u"}, {.Start = true}},
        LoadCase{"an empty dialpwd keeps the password",
                 "dialpwd=\r\ndialtime=  \r\n",
                 {.Pwd = "kept"},
                 {.Pwd = "kept"}},
        LoadCase{"blank values keep the fields",
                 "dialpwd= \t \r\ndialtime= \r\ndialwainttime=\t\r\n",
                 {.Pwd = "kept", .Time = "60", .Wait = "2"},
                 {.Pwd = "kept", .Time = "60", .Wait = "2"}},
        LoadCase{"an empty dialuser empties the account", "dialuser=\r\n", {}, {.User = "kept"}},
        LoadCase{"blanks around values are assigned",
                 "dialuser= u \r\ndialpwd= p w \r\ndialwainttime= 5 \r\n",
                 {.User = " u ", .Pwd = " p w ", .Wait = " 5 "}},
        // The cycle then reads the interval as 0.
        LoadCase{"a trailing blank on dialtime is loaded unchanged",
                 "dialtime=30 \r\n",
                 {.Time = "30 "}},
        LoadCase{"dialtime is not checked to be a number",
                 "dialtime=abc\r\ndialwainttime=-3\r\n",
                 {.Time = "abc", .Wait = "-3"}}));

INSTANTIATE_TEST_SUITE_P(
    Selection, LoadTest,
    ::testing::Values(
        LoadCase{"dialertext 0", "dialertext=0", {.Index = 0}, {.Index = 2}},
        LoadCase{"dialertext last item", "dialertext=2", {.Index = 2}},
        LoadCase{"dialertext -1", "dialertext=-1", {}, {.Index = 2}},
        LoadCase{"dialertext negative", "dialertext=-5", {}, {.Index = 2}},
        LoadCase{"dialertext equal to the count", "dialertext=3", {}, {.Index = 2}},
        LoadCase{"dialertext too large", "dialertext=100", {}, {.Index = 2}},
        LoadCase{"dialertext hexadecimal $", "dialertext=$1", {.Index = 1}},
        LoadCase{"dialertext hexadecimal 0x", "dialertext=0x2", {.Index = 2}},
        LoadCase{"dialertext hexadecimal all bits", "dialertext=$FFFFFFFF", {}, {.Index = 2}},
        LoadCase{"dialertext leading blank", "dialertext= 1", {.Index = 1}},
        LoadCase{
            "dialertext not a number is skipped", "dialertext=abc", {.Index = 2}, {.Index = 2}},
        LoadCase{
            "dialertext trailing blank is skipped", "dialertext=1 ", {.Index = 2}, {.Index = 2}},
        LoadCase{"dialertext out of 32 bits is skipped",
                 "dialertext=99999999999",
                 {.Index = 2},
                 {.Index = 2}},
        LoadCase{"dialertext blank is skipped", "dialertext= \t", {.Index = 2}, {.Index = 2}},
        LoadCase{"a skipped dialertext skips nothing else",
                 "dialertext=x\r\ndialuser=u\r\nstart=1",
                 {.Index = 2, .User = "u", .Start = true},
                 {.Index = 2}}));

INSTANTIATE_TEST_SUITE_P(
    Text, LoadTest,
    ::testing::Values(LoadCase{"CR-only line ends",
                               "dialuser=u\rdialpwd=p\rdialtime=10\rstart=1",
                               {.User = "u", .Pwd = "p", .Time = "10", .Start = true}},
                      LoadCase{"LF-only line ends",
                               "dialuser=u\ndialpwd=p\ndialtime=10\nstart=1\n",
                               {.User = "u", .Pwd = "p", .Time = "10", .Start = true}},
                      LoadCase{"mixed line ends with empty lines",
                               "\r\n\r\rdialuser=u\n\r\ndialpwd=p\n\rstart=1",
                               {.User = "u", .Pwd = "p", .Start = true}},
                      LoadCase{"a zero byte ends the text",
                               "dialuser=ab\0cd\r\ndialpwd=p\r\nstart=1\r\n"s,
                               {.User = "ab", .Pwd = "kept"},
                               {.Pwd = "kept"}},
                      LoadCase{"an empty file", "", With(Prior, [](Six& v) { v.User = ""; }),
                               Prior},
                      LoadCase{"a large file within the limit",
                               LargeButAllowed(),
                               {.User = "late", .Start = true}}));

// No file: nothing changes. A file that is there but cannot be read counts as an empty one:
// the account is emptied, the rest keeps its values and the switch goes off.
INSTANTIATE_TEST_SUITE_P(
    Unreadable, LoadTest,
    ::testing::Values(
        LoadCase{"a missing file", "", Prior, Prior, Place::Missing},
        LoadCase{"a folder in the file's place", "", {}, {.User = "prior"}, Place::Folder},
        LoadCase{"a FIFO in the file's place", "", {}, {.User = "prior"}, Place::Fifo},
        LoadCase{"a link to /dev/zero", "", {}, {.User = "prior"}, Place::DeviceLink},
        LoadCase{"a 100 MB file is refused", "", {}, {.User = "prior"}, Place::Oversized},
        LoadCase{"unreadable with the switch on",
                 "",
                 {.Pwd = "pw"},
                 {.User = "prior", .Pwd = "pw", .Start = true},
                 Place::Folder}));

struct SaveCase {
    std::string What;
    Six Values;
    std::string Bytes;
    Six LoadsBack; // into a window at its design values
};

void PrintTo(const SaveCase& c, std::ostream* os) {
    *os << c.What;
}

class RoundTripTest : public ::testing::TestWithParam<SaveCase> {
protected:
    TempFolder Folder;
};

TEST_P(RoundTripTest, WritesTheSixKeysAndReadsThemBack) {
    const SaveCase& c = GetParam();
    const std::string path = Folder.Path();
    WriteBytes(path, "stale=1\r\n");
    ASSERT_TRUE(SaveSettings(ValuesOf(c.Values), path));
    EXPECT_EQ(Escaped(ReadBytes(path)), Escaped(c.Bytes));

    TSettingsValues back = ValuesOf(Six{});
    LoadSettings(back, path);
    EXPECT_EQ(SixOf(back), c.LoadsBack);
    EXPECT_EQ(Folder.Names(), std::vector<std::string>{"dialup.ini"}) << "no temporary file left";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RoundTripTest,
    ::testing::Values(
        SaveCase{"all six",
                 {1, "alice", "secret", "180", "7", true},
                 "dialertext=1\r\ndialuser=alice\r\ndialpwd=secret\r\ndialtime=180\r\n"
                 "dialwainttime=7\r\nstart=1\r\n",
                 {1, "alice", "secret", "180", "7", true}},
        SaveCase{"empty values leave no line",
                 {-1, "", "", "", "", false},
                 "dialertext=-1\r\nstart=0\r\n",
                 {}},
        SaveCase{"blanks, = and 8-bit bytes kept",
                 {0, " bob ", "p=w \xFF", " 30", "5 ", false},
                 "dialertext=0\r\ndialuser= bob \r\ndialpwd=p=w \xFF\r\ndialtime= 30\r\n"
                 "dialwainttime=5 \r\nstart=0\r\n",
                 {0, " bob ", "p=w \xFF", " 30", "5 ", false}},
        // A blank-only password is written but, like any blank value, not read back.
        SaveCase{"a blank password",
                 {2, "u", "  ", "0", "5", false},
                 "dialertext=2\r\ndialuser=u\r\ndialpwd=  \r\ndialtime=0\r\ndialwainttime=5\r\n"
                 "start=0\r\n",
                 {2, "u", "", "0", "5", false}}));

TEST(SettingsRewrite, MessyFileIsRewrittenWithOnlyTheSixKeys) {
    TempFolder folder;
    const std::string path = folder.Path();
    WriteBytes(path, "[dialup]\r\nDIALERTEXT=7\r\nfoo=bar\r\nDialUser=alice\r\ndialuser=bob\n"
                     "DIALPWD=\r\nDialTime=120\rdialtime=5\r\nDIALWAINTTIME=9\r\nSTART=0\r\n");
    TSettingsValues values = ValuesOf(Six{});
    LoadSettings(values, path);
    ASSERT_TRUE(SaveSettings(values, path));
    // An out-of-range selection is saved as none.
    EXPECT_EQ(Escaped(ReadBytes(path)),
              Escaped("dialertext=-1\r\ndialuser=alice\r\ndialtime=120\r\ndialwainttime=9\r\n"
                      "start=0\r\n"));
}

// The window as far as the settings and the switch are concerned: TSettingsValues stands for
// the six controls, the engine reads them, and the switch saves as the window wires it.
class WiredSettingsTest : public ::testing::Test, public IRedialInputs {
protected:
    TempFolder Folder;
    std::string Path = Folder.Path();
    std::vector<std::string> Items{"ADSL", "Modem", "Mobile"};
    TSettingsValues Values;
    FakeWindow Host;
    ras::SimulatedRas Service;
    TRedialEngine Engine{*this, Host};
    std::vector<std::string> Saved; // the file's bytes after each save

    void SetUp() override {
        RedialPending = false;
        CurrentConnection = 0;
        SetRasService(&Service);
        for (const std::string& item : Items)
            Service.AddEntry(item);
        Values.ItemCount = static_cast<int>(Items.size());
        Values.OnStartChanged = [this] { Engine.CheckBox1Click(); };
        Engine.SetSaveSettings([this] {
            EXPECT_TRUE(SaveSettings(Values, Path));
            Saved.push_back(ReadBytes(Path));
        });
    }
    void TearDown() override {
        Service.WaitIdle();
        SetRasService(nullptr);
    }

    std::string EntryName() const override {
        return Values.ItemIndex >= 0 && Values.ItemIndex < static_cast<int>(Items.size())
                   ? Items[static_cast<std::size_t>(Values.ItemIndex)]
                   : std::string();
    }
    std::string Account() const override { return Values.User; }
    std::string Password() const override { return Values.Pwd; }
    std::string IntervalText() const override { return Values.Time; }
    std::string PauseText() const override { return Values.WaintTime; }
    bool SwitchChecked() const override { return Values.Checked; }
};

TEST_F(WiredSettingsTest, StartOneAtLoadStartsTheCycleAndSavesAtOnce) {
    WriteBytes(Path, "; saved\r\nDialerText=1\r\nDIALUSER=alice\r\ndialpwd=secret\r\n"
                     "dialtime=3\r\ndialwainttime=0\r\nStart=1\r\nstart=0\r\n");
    LoadSettings(Values, Path);
    EXPECT_TRUE(Values.Checked);
    EXPECT_TRUE(Host.TimerEnabled);
    EXPECT_EQ(Host.Display, "0");
    const std::string rewritten = "dialertext=1\r\ndialuser=alice\r\ndialpwd=secret\r\n"
                                  "dialtime=3\r\ndialwainttime=0\r\nstart=1\r\n";
    ASSERT_EQ(Saved.size(), 1u);
    EXPECT_EQ(Escaped(Saved[0]), Escaped(rewritten));

    // The loaded values drive the cycle: the fourth tick starts one, the fifth dials.
    for (int tick = 0; tick < 5; ++tick)
        Engine.Timer1Timer();
    const auto dial = Service.LastDial();
    ASSERT_TRUE(dial.has_value());
    EXPECT_EQ(dial->szEntryName, "Modem");
    EXPECT_EQ(dial->szUserName, "alice");
    EXPECT_EQ(dial->szPassword, "secret");
}

TEST_F(WiredSettingsTest, TrailingBlankOnTheIntervalKeepsTheCycleFromStarting) {
    const auto line = Service.Connect("ADSL");
    WriteBytes(Path, "dialertext=0\r\ndialtime=3 \r\nstart=1\r\n");
    LoadSettings(Values, Path);
    ASSERT_TRUE(Values.Checked);
    for (int tick = 0; tick < 20; ++tick)
        Engine.Timer1Timer();
    EXPECT_EQ(Host.Display, "20");
    EXPECT_EQ(Service.GetCounters().HangUps, 0u);
    EXPECT_EQ(Service.Connections().size(), 1u);
    EXPECT_EQ(Service.Connections()[0].hrasconn, line);
}

TEST_F(WiredSettingsTest, SwitchOffAtLoadNeitherClicksNorSaves) {
    const std::string bytes = "DIALUSER=alice\r\nextra=line\r\nstart=0\r\n";
    WriteBytes(Path, bytes);
    LoadSettings(Values, Path);
    EXPECT_FALSE(Values.Checked);
    EXPECT_TRUE(Saved.empty());
    EXPECT_EQ(ReadBytes(Path), bytes);
}

TEST_F(WiredSettingsTest, FirstClickOfTheSwitchCreatesTheMissingFile) {
    LoadSettings(Values, Path);
    EXPECT_FALSE(fs::exists(Path));
    Values.User = "alice";
    Values.ItemIndex = 2;
    Values.SetStart(true);
    ASSERT_EQ(Saved.size(), 1u);
    EXPECT_EQ(Escaped(Saved[0]),
              Escaped("dialertext=2\r\ndialuser=alice\r\ndialtime=0\r\ndialwainttime=5\r\n"
                      "start=1\r\n"));
    Values.SetStart(false);
    ASSERT_EQ(Saved.size(), 2u);
    EXPECT_EQ(Escaped(Saved[1]),
              Escaped("dialertext=2\r\ndialuser=alice\r\ndialtime=0\r\ndialwainttime=5\r\n"
                      "start=0\r\n"));
}

// Saving must never leave a truncated or missing file behind.
class SafeSaveTest : public ::testing::Test {
protected:
    TempFolder Folder;
    std::string Path = Folder.Path();
    const std::string Old = FullFile;
    TSettingsValues Values = ValuesOf(Six{0, "new-user", "new-pwd", "60", "1", true});
};

TEST_F(SafeSaveTest, TemporaryFileThatCannotBeCreatedLeavesTheOldFile) {
    WriteBytes(Path, Old);
    ASSERT_TRUE(fs::create_directory(SettingsTempPath(Path)));
    EXPECT_FALSE(SaveSettings(Values, Path));
    EXPECT_EQ(ReadBytes(Path), Old);
}

TEST_F(SafeSaveTest, StaleTemporaryFileIsReplaced) {
    WriteBytes(Path, Old);
    WriteBytes(SettingsTempPath(Path), "half a save");
    ASSERT_TRUE(SaveSettings(Values, Path));
    EXPECT_NE(ReadBytes(Path), Old);
    EXPECT_EQ(Folder.Names(), std::vector<std::string>{"dialup.ini"});
}

TEST_F(SafeSaveTest, FullDiskDuringTheWriteLeavesTheOldFile) {
#ifdef _WIN32
    GTEST_SKIP() << "no file size limit to stand in for a full disk";
#else
    WriteBytes(Path, Old);
    Values.User = std::string(64 * 1024, 'u');
    // A file size limit fails the write part-way, as a full disk does.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved_ok = SaveSettings(Values, Path);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(ReadBytes(Path), Old);
    EXPECT_EQ(Folder.Names(), std::vector<std::string>{"dialup.ini"});
    EXPECT_TRUE(SaveSettings(Values, Path));
#endif
}

TEST_F(SafeSaveTest, FolderInTheFilesPlaceFailsAndLeavesNothingBehind) {
    ASSERT_TRUE(fs::create_directory(Path));
    EXPECT_FALSE(SaveSettings(Values, Path));
    EXPECT_TRUE(fs::is_directory(Path));
    EXPECT_EQ(Folder.Names(), std::vector<std::string>{"dialup.ini"});
}

TEST_F(SafeSaveTest, MissingFolderFails) {
    EXPECT_FALSE(SaveSettings(Values, Folder.Path("gone/dialup.ini")));
    EXPECT_TRUE(Folder.Names().empty());
}

#ifndef _WIN32
mode_t ModeOf(const std::string& Path) {
    struct stat info {};
    EXPECT_EQ(::stat(Path.c_str(), &info), 0) << Path;
    return info.st_mode & 07777;
}

// The file holds the password in plain text.
TEST_F(SafeSaveTest, NewFileIsForItsOwnerOnly) {
    const mode_t previous = ::umask(0);
    const bool ok = SaveSettings(Values, Path);
    ::umask(previous);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ModeOf(Path), 0600u);
}

TEST_F(SafeSaveTest, ExistingFileKeepsItsMode) {
    const mode_t previous = ::umask(0);
    for (const mode_t mode : {0600u, 0640u, 0644u, 0400u}) {
        WriteBytes(Path, Old);
        ASSERT_EQ(::chmod(Path.c_str(), mode), 0);
        EXPECT_TRUE(SaveSettings(Values, Path));
        EXPECT_EQ(ModeOf(Path), mode) << std::oct << mode;
    }
    ::umask(previous);
}
#endif

TEST(SettingsFilePath, IsDialupIniBesideTheExecutable) {
    const fs::path path = SettingsFilePath();
    EXPECT_TRUE(path.is_absolute()) << path;
    EXPECT_EQ(path.filename(), "dialup.ini");
#ifdef _WIN32
    EXPECT_TRUE(fs::exists(path.parent_path() / "settings_tests.exe")) << path;
#else
    EXPECT_TRUE(fs::exists(path.parent_path() / "settings_tests")) << path;
#endif
}

} // namespace

namespace {

struct OversizedCase {
    std::size_t Entry, User, Pwd;
};

void PrintTo(const OversizedCase& c, std::ostream* os) {
    *os << "entry " << c.Entry << ", account " << c.User << ", password " << c.Pwd;
}

// Over-long entries, accounts and passwords survive a save and a load byte for byte, and are
// dialled only when they fit the service's 256-byte fields.
class OversizedInputTest : public WiredSettingsTest,
                           public ::testing::WithParamInterface<OversizedCase> {};

TEST_P(OversizedInputTest, LoadsWholeAndDialsOnlyWhatFits) {
    const OversizedCase& c = GetParam();
    Items.push_back(std::string(c.Entry, 'e'));
    Service.AddEntry(Items.back());
    TSettingsValues typed;
    typed.ItemCount = static_cast<int>(Items.size());
    typed.ItemIndex = static_cast<int>(Items.size()) - 1;
    typed.User = std::string(c.User, 'u');
    typed.Pwd = std::string(c.Pwd, 'p');
    typed.Time = "3";
    typed.WaintTime = "0";
    typed.Checked = true;
    ASSERT_TRUE(SaveSettings(typed, Path));

    Values.ItemCount = static_cast<int>(Items.size());
    LoadSettings(Values, Path);
    EXPECT_EQ(Values.ItemIndex, typed.ItemIndex);
    EXPECT_EQ(Values.User, typed.User);
    EXPECT_EQ(Values.Pwd, typed.Pwd);
    ASSERT_TRUE(Values.Checked);

    for (int tick = 0; tick < 5; ++tick)
        Engine.Timer1Timer();
    const bool fits = c.Entry <= 256 && c.User <= 256 && c.Pwd <= 256;
    EXPECT_EQ(Service.GetCounters().Dials, fits ? 1u : 0u);
    Service.WaitIdle();
    // A dial that fits reconnects; an undiallable cycle stays pending, nothing else.
    EXPECT_EQ(RedialPending.load(), !fits);
}

INSTANTIATE_TEST_SUITE_P(Lengths, OversizedInputTest,
                         ::testing::Values(OversizedCase{255, 255, 255},
                                           OversizedCase{256, 256, 256}, OversizedCase{257, 8, 8},
                                           OversizedCase{8, 257, 8}, OversizedCase{8, 8, 257},
                                           OversizedCase{100000, 100000, 100000}));

} // namespace
