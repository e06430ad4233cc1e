#include "Settings.h"

#include "TextLines.h"

#include "NumberRule.h"

#include <cstdint>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

enum class ReadResult { Missing, Unreadable, Read };

// The values are bytes of the system's 8-bit code page; only ASCII letters fold.
bool SameKey(std::string_view A, std::string_view B) {
    if (A.size() != B.size())
        return false;
    for (std::size_t i = 0; i < A.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(A[i]);
        unsigned char y = static_cast<unsigned char>(B[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y + 32);
        if (x != y)
            return false;
    }
    return true;
}

std::string_view Trim(std::string_view Text) {
    while (!Text.empty() && static_cast<unsigned char>(Text.front()) <= 32)
        Text.remove_prefix(1);
    while (!Text.empty() && static_cast<unsigned char>(Text.back()) <= 32)
        Text.remove_suffix(1);
    return Text;
}

// Lines end at CR LF, CR or LF; a zero byte ends the text.
std::vector<std::string_view> SplitLines(std::string_view Text) {
    if (const auto nul = Text.find('\0'); nul != std::string_view::npos)
        Text = Text.substr(0, nul);
    return SplitTextLines(Text);
}

// The first line whose text before its first "=" is the key gives everything after it.
std::string Value(const std::vector<std::string_view>& Lines, std::string_view Key) {
    for (const std::string_view line : Lines) {
        const std::size_t eq = line.find('=');
        if (eq != std::string_view::npos && SameKey(line.substr(0, eq), Key))
            return std::string(line.substr(eq + 1));
    }
    return {};
}

#ifdef _WIN32

ReadResult ReadSettingsText(const std::string& Path, std::string& Text) {
    if (GetFileAttributesA(Path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return ReadResult::Missing;
    HANDLE file = CreateFileA(Path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return ReadResult::Unreadable;
    bool ok = GetFileType(file) == FILE_TYPE_DISK;
    // One byte past the limit tells an over-large file from one that just fits.
    std::string data(MaxSettingsFileSize + 1, '\0');
    std::size_t size = 0;
    while (ok && size < data.size()) {
        DWORD got = 0;
        if (!ReadFile(file, data.data() + size, static_cast<DWORD>(data.size() - size), &got,
                      nullptr)) {
            ok = false;
        } else if (got == 0) {
            break;
        } else {
            size += got;
        }
    }
    CloseHandle(file);
    if (!ok || size > MaxSettingsFileSize)
        return ReadResult::Unreadable;
    data.resize(size);
    Text = std::move(data);
    return ReadResult::Read;
}

bool ReplaceFileWith(const std::string& Path, const std::string& Text) {
    const std::string temp = SettingsTempPath(Path);
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < Text.size()) {
        DWORD wrote = 0;
        ok = WriteFile(file, Text.data() + done, static_cast<DWORD>(Text.size() - done), &wrote,
                       nullptr) &&
             wrote > 0;
        done += wrote;
    }
    ok = ok && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    ok = ok && MoveFileExA(temp.c_str(), Path.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok)
        DeleteFileA(temp.c_str());
    return ok;
}

std::string ExecutableFolder() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of("\\/:");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ProcessTag() {
    return std::to_string(GetCurrentProcessId());
}

#else

// Opened without blocking and checked to be a regular file, so that a FIFO or a device in
// the file's place is refused instead of hanging or filling memory.
ReadResult ReadSettingsText(const std::string& Path, std::string& Text) {
    struct stat info {};
    if (::stat(Path.c_str(), &info) != 0)
        return ReadResult::Missing;
    const int fd = ::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return ReadResult::Unreadable;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
              static_cast<std::uintmax_t>(info.st_size) <= MaxSettingsFileSize;
    // Bounded even if the file grows while it is read.
    std::string data(ok ? MaxSettingsFileSize + 1 : 0, '\0');
    std::size_t size = 0;
    while (ok && size < data.size()) {
        const ssize_t got = ::read(fd, data.data() + size, data.size() - size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            ok = false;
        else if (got == 0)
            break;
        else
            size += static_cast<std::size_t>(got);
    }
    ::close(fd);
    if (!ok || size > MaxSettingsFileSize)
        return ReadResult::Unreadable;
    data.resize(size);
    Text = std::move(data);
    return ReadResult::Read;
}

bool WriteAll(int Fd, const std::string& Text) {
    std::size_t done = 0;
    while (done < Text.size()) {
        const ssize_t wrote = ::write(Fd, Text.data() + done, Text.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// The file holds the password: a new one is for its owner only, and an existing one keeps
// its mode. The old file is replaced only by a complete, synced new one.
bool ReplaceFileWith(const std::string& Path, const std::string& Text) {
    mode_t mode = S_IRUSR | S_IWUSR;
    struct stat old {};
    if (::stat(Path.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        mode = old.st_mode & 07777;

    const std::string temp = SettingsTempPath(Path);
    ::unlink(temp.c_str()); // left behind by a save that was killed
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, Text) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), Path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Makes the rename itself durable; the new file is in place either way.
    const std::size_t slash = Path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : Path.substr(0, slash + 1);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

std::string ExecutableFolder() {
    std::string path(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
        if (n <= 0)
            return {};
        if (static_cast<std::size_t>(n) < path.size()) {
            path.resize(static_cast<std::size_t>(n));
            break;
        }
        if (path.size() >= 65536)
            return {};
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ProcessTag() {
    return std::to_string(::getpid());
}

#endif

} // namespace

std::string SettingsFilePath() {
    return ExecutableFolder() + "dialup.ini";
}

std::string SettingsTempPath(const std::string& Path) {
    // Tagged with the process, so that two copies of the program never share one.
    return Path + "." + ProcessTag() + ".tmp";
}

void LoadSettings(ISettingsControls& Controls, const std::string& Path) {
    try {
        std::string text;
        if (ReadSettingsText(Path, text) == ReadResult::Missing)
            return;
        // A file that cannot be read counts as an empty one.
        ApplySettingsText(Controls, text);
    } catch (...) {
        // Settings that cannot be loaded leave the remaining fields as they are.
    }
}

void ApplySettingsText(ISettingsControls& Controls, std::string_view Text) {
    try {
        const std::vector<std::string_view> lines = SplitLines(Text);

        const std::string dialer = Value(lines, "dialertext");
        std::int32_t index = 0;
        if (!Trim(dialer).empty() && TextToInt32(dialer, index))
            Controls.SetDialerItemIndex(index >= 0 && index < Controls.DialerItemCount() ? index
                                                                                         : -1);
        Controls.SetDialUser(Value(lines, "dialuser"));
        if (const std::string pwd = Value(lines, "dialpwd"); !Trim(pwd).empty())
            Controls.SetDialPwd(pwd);
        if (const std::string time = Value(lines, "dialtime"); !Trim(time).empty())
            Controls.SetDialTimeText(time);
        if (const std::string wait = Value(lines, "dialwainttime"); !Trim(wait).empty())
            Controls.SetDialWaintTimeText(wait);
        // Last, because a change counts as a click on the switch, which saves again.
        Controls.SetStart(Trim(Value(lines, "start")) == "1");
    } catch (...) {
        // A failure while applying stops the remaining keys.
    }
}

bool SaveSettings(const ISettingsControls& Controls, const std::string& Path) {
    try {
        std::string text;
        const auto put = [&text](std::string_view Key, const std::string& Value) {
            if (Value.empty())
                return;
            text.append(Key).append("=").append(Value).append("\r\n");
        };
        put("dialertext", std::to_string(Controls.DialerItemIndex()));
        put("dialuser", Controls.DialUser());
        put("dialpwd", Controls.DialPwd());
        put("dialtime", Controls.DialTimeText());
        put("dialwainttime", Controls.DialWaintTimeText());
        put("start", Controls.Start() ? "1" : "0");
        return ReplaceFileWith(Path, text);
    } catch (...) {
        return false;
    }
}
