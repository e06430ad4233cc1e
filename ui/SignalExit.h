#pragma once

// Ends the program the way Exit does when the session ends or the process is told to stop
// (SIGTERM, SIGINT, SIGHUP). The signal handler only writes the signal's number into a pipe;
// the event loop reads it and calls the handler given here, so no Qt code runs inside the
// signal handler.

#include <QObject>

#include <functional>

class QSocketNotifier;

class TSignalExit : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; needs the application object.
    explicit TSignalExit(QObject* Parent = nullptr);
    // Puts the previous handlers back.
    ~TSignalExit() override;

    // What a signal does; until it is set, a signal only terminates the application.
    void SetHandler(std::function<void()> Handler) { FHandler = std::move(Handler); }
    // The last signal received, 0 before any.
    int LastSignal() const { return FLastSignal; }

    static constexpr int Signals[] = {15 /* SIGTERM */, 2 /* SIGINT */, 1 /* SIGHUP */};

private:
    void Drain();

    QSocketNotifier* FNotifier = nullptr;
    std::function<void()> FHandler;
    int FLastSignal = 0;
};
