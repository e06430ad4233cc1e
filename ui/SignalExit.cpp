#include "SignalExit.h"

#include "Forms.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int SignalPipe[2] = {-1, -1};
struct sigaction Previous[std::size(TSignalExit::Signals)];

extern "C" void OnSignal(int Signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(Signal);
    // A full pipe already holds a request to end.
    [[maybe_unused]] const ssize_t written = ::write(SignalPipe[1], &number, 1);
    errno = saved;
}

} // namespace

TSignalExit::TSignalExit(QObject* Parent) : QObject(Parent) {
    static_assert(SIGTERM == 15 && SIGINT == 2 && SIGHUP == 1);
    if (SignalPipe[0] < 0 && ::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    FNotifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, [this] { Drain(); });
    for (std::size_t i = 0; i < std::size(Signals); ++i) {
        struct sigaction action = {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(Signals[i], &action, &Previous[i]);
    }
}

TSignalExit::~TSignalExit() {
    if (!FNotifier)
        return;
    for (std::size_t i = 0; i < std::size(Signals); ++i)
        sigaction(Signals[i], &Previous[i], nullptr);
}

void TSignalExit::Drain() {
    unsigned char number = 0;
    bool received = false;
    while (::read(SignalPipe[0], &number, 1) == 1) {
        FLastSignal = number;
        received = true;
    }
    if (!received)
        return;
    if (FHandler)
        FHandler();
    else
        TApplication::Terminate();
}
