#include "ChildProcess.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

TChildProcess::~TChildProcess() {
    Stop();
}

bool TChildProcess::Start(const std::vector<std::string>& Args,
                          const std::vector<std::string>& ExtraEnv, int KeepFd,
                          const std::string& OutputPath) {
    if (Args.empty())
        return false;
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    for (const std::string& extra : ExtraEnv) {
        const std::string name = extra.substr(0, extra.find('=') + 1);
        std::erase_if(env, [&](const std::string& e) { return e.rfind(name, 0) == 0; });
        if (extra.size() > name.size())
            env.push_back(extra);
    }
    std::vector<char*> argv;
    for (const std::string& a : Args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    const int output = OutputPath.empty() ? -1
                                          : open(OutputPath.c_str(),
                                                 O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const pid_t pid = fork();
    if (pid < 0) {
        if (output >= 0)
            close(output);
        return false;
    }
    if (pid == 0) {
        setpgid(0, 0);
        if (output >= 0) {
            dup2(output, 1);
            dup2(output, 2);
        }
        for (int fd = 3; fd < 1024; ++fd)
            if (fd != KeepFd)
                close(fd);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (output >= 0)
        close(output);
    FPid = pid;
    FStatus = -1;
    return true;
}

bool TChildProcess::Running() {
    if (FPid <= 0)
        return false;
    int status = 0;
    const pid_t r = waitpid(FPid, &status, WNOHANG);
    if (r == FPid) {
        FStatus = status;
        FPid = -1;
        return false;
    }
    return r == 0;
}

bool TChildProcess::Signal(int Signal) {
    return FPid > 0 && kill(FPid, Signal) == 0;
}

bool TChildProcess::WaitExit(std::chrono::milliseconds Timeout) {
    return WaitFor([this] { return !Running(); }, Timeout, std::chrono::milliseconds(20));
}

void TChildProcess::Stop() {
    if (!Running())
        return;
    Signal(SIGTERM);
    if (!WaitExit(std::chrono::seconds(5))) {
        Signal(SIGKILL);
        WaitExit(std::chrono::seconds(5));
    }
}

bool TXvfb::Start(std::string& Error) {
    int fds[2];
    if (pipe(fds) != 0) {
        Error = "pipe failed";
        return false;
    }
    if (!FProcess.Start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                         "1024x768x24", "-nolisten", "tcp", "-noreset"},
                        {}, fds[1])) {
        close(fds[0]);
        close(fds[1]);
        Error = "could not start Xvfb";
        return false;
    }
    close(fds[1]);
    // Xvfb writes the display's number once it accepts connections.
    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 200) > 0) {
            char c;
            const ssize_t n = read(fds[0], &c, 1);
            if (n <= 0)
                break;
            if (c == '\n')
                break;
            number.push_back(c);
        }
    }
    close(fds[0]);
    if (number.empty()) {
        Error = "Xvfb did not report a display";
        FProcess.Stop();
        return false;
    }
    FDisplay = ":" + number;
    return true;
}

std::vector<pid_t> Descendants(pid_t Root) {
    std::vector<std::pair<pid_t, pid_t>> parents; // (pid, parent)
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream file(entry.path() / "stat");
        std::stringstream text;
        text << file.rdbuf();
        const std::string stat = text.str();
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(stat.substr(close + 2));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        parents.emplace_back(static_cast<pid_t>(std::stol(name)), parent);
    }
    std::vector<pid_t> found;
    std::vector<pid_t> todo{Root};
    while (!todo.empty()) {
        const pid_t next = todo.back();
        todo.pop_back();
        for (const auto& [pid, parent] : parents)
            if (parent == next) {
                found.push_back(pid);
                todo.push_back(pid);
            }
    }
    return found;
}
