#pragma once

// The update tab's browser. The browser engine runs in a process of its own (tornevo-browser)
// whose window is embedded into this widget's native window: the program itself never loads
// the engine, and ending that process gives all of its memory back while the program sits in
// the notification area for hours.
//
// The browser runs only while the widget's top-level window is shown. An address given while
// it is hidden, and the address the page reached by itself (a link), is loaded again when
// the browser next starts.

#include <QUrl>
#include <QWidget>

class QProcess;

// One line between the program and its browser process: "VERB REST".
struct TBrowserLine {
    QByteArray Verb;
    QByteArray Rest;
};

// Appends Data to Buffer and takes out the complete lines it now holds. A line without end is
// dropped rather than kept growing.
QList<TBrowserLine> TakeBrowserLines(QByteArray& Buffer, const QByteArray& Data);

class TWebBrowser : public QWidget {
    Q_OBJECT
public:
    explicit TWebBrowser(QWidget* Parent, const QString& Program = DefaultProgram());
    // Ends the browser, waiting a little for it to close on its own.
    ~TWebBrowser() override;

    // tornevo-browser beside the running executable, or the one of the build tree.
    static QString DefaultProgram();

    // Goes to the address now if the browser runs, otherwise when it starts.
    void Navigate(const QUrl& Url);
    // Reloads the page shown; a browser that has ended is started again at its last address.
    void Refresh();
    // The address shown, or the one that will be loaded when the browser starts.
    QUrl LocationURL() const { return FLocation; }

    // Starts the browser at LocationURL when the window is shown and it is not running.
    void Restore();
    // Starts the browser now, for a window that is about to be shown: its start-up then runs
    // beside the window's own.
    void Prestart();
    // Ends the browser and its processes; LocationURL stays.
    void Release();

    bool Running() const { return FProcess != nullptr; }
    // The browser's process id while it runs, otherwise 0.
    qint64 ProcessId() const;

signals:
    // The page changed its address (a link, a redirect, a script).
    void NavigateComplete(const QUrl& Url);
    // A page finished loading, or failed to.
    void DocumentComplete(const QUrl& Url, bool Ok);
    // The browser process ended, however it ended.
    void ProcessEnded();

protected:
    void resizeEvent(QResizeEvent* Event) override;

private:
    static bool Embeddable();
    void Start();
    void ReadOutput();
    void Send(const QByteArray& Line);
    void Ended(QProcess* Process);

    QString FProgram;
    QUrl FLocation;
    QProcess* FProcess = nullptr;
    QByteArray FPending;
};
