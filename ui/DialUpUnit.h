#pragma once

// The main window: the settings tab with the six inputs of the redial cycle and the help
// texts, the update tab with the vendor's page, the one-second timer, and the pop-up menu and
// icon of the notification area.

#include "Controls.h"
#include "Forms.h"
#include "RedialEngine.h"
#include "RzPageControl.h"
#include "Settings.h"
#include "ShellApi.h"
#include "SpinEdit.h"
#include "WebBrowser.h"

#include <QUrl>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QEventLoop;
class QLineEdit;
class QMenu;
class QTimer;
class QToolButton;
class TXPMenu;

// The product web site (a build setting) and the pages the window shows from it.
QUrl ProductSiteUrl();
QUrl UpdatePageUrl(const QUrl& Site);

class TDialUpFrm : public QWidget,
                   public IRedialInputs,
                   public IRedialHost,
                   public ISettingsControls {
    Q_OBJECT
public:
    struct TOptions {
        QUrl SiteUrl = ProductSiteUrl();
        // Where the settings are read at creation and written by the switch and at the end.
        std::string SettingsPath = SettingsFilePath();
        // The update tab's browser program.
        QString BrowserProgram = TWebBrowser::DefaultProgram();
        // The monotonic clock Timer1's schedule is kept by.
        std::function<std::chrono::steady_clock::time_point()> Clock = [] {
            return std::chrono::steady_clock::now();
        };
    };

    // Creates the components and runs FormCreate; destruction runs FormDestroy.
    TDialUpFrm();
    explicit TDialUpFrm(const TOptions& Options);
    ~TDialUpFrm() override;

    // The notification-area icon's identifier and callback message.
    static constexpr std::uint32_t IconID = 34953;
    static constexpr std::uint32_t WM_TRAYNOTIFY = WM_USER + 11; // 1035

    // Components, named as the window's designer named them.
    TRzPageControl* RzPageControl1;
    TRzTabSheet* TabSheet1;
    TLabel* Label2;
    TLabel* Label3;
    TLabel* Label4;
    TPanel* Panel5;
    TLabel* Label65;
    TLabel* lbel343;
    TLabel* label890;
    TLabel* Label68;
    TLabel* Label66;
    TLabel* Label1;
    TLabel* Label131;
    TLabel* Label132;
    QComboBox* edtDialer;
    QLineEdit* edtDialUser;
    QLineEdit* edtDialPWD;
    TSpinEdit* edtDialTime;
    QCheckBox* CheckBox1;
    TSpinEdit* edtDialWaintTime;
    TStatusBar* StatusBar1;
    TRzTabSheet* TabSheet10;
    TWebBrowser* WebBrowser2;
    TPanel* Panel7;
    QToolButton* SpeedButton43;
    QTimer* Timer1;
    QMenu* PopupMenu;
    QAction* N1;
    QAction* E1;

    // Event handlers.
    void FormCreate();
    void FormShow();
    void FormDestroy();
    void Timer1Timer();
    void CheckBox1Click();
    void Label4Click();
    void SpeedButton43Click();
    void N1Click();
    void E1Click();

    // The notification-area icon and its messages.
    void AddTrayIcon();
    void RemoveTrayIcon();
    void WMTrayNotify(TMessage& Message);
    void WndProc(TMessage& Message);
    const NOTIFYICONDATAA& IconData() const { return FIconData; }
    std::uint32_t IconRestoreMsg() const { return FIconRestoreMsg; }

    // Shows the window and serves messages until it is closed (which only hides it) or the
    // application terminates. A shown window is only brought to the front.
    void ShowModal();
    // Whether a modal showing is running.
    bool InModalShowing() const { return FModalLevel > 0; }

    TRedialEngine& Engine() { return FEngine; }
    TXPMenu* XPMenu() const { return FXPMenu; }
    QUrl SiteUrl() const { return FSiteUrl; }

    // IRedialInputs: read from the controls on every call.
    std::string EntryName() const override;
    std::string Account() const override;
    std::string Password() const override;
    std::string IntervalText() const override;
    std::string PauseText() const override;
    bool SwitchChecked() const override;

    // IRedialHost.
    void SetTimerEnabled(bool Enabled) override;
    void Sleep(std::int32_t Milliseconds) override;
    void ProcessMessages() override;
    void OpenProductSite() override;
    void SetSecondsDisplay(const std::string& Text) override;

    // ISettingsControls.
    int DialerItemCount() const override;
    int DialerItemIndex() const override;
    void SetDialerItemIndex(int Index) override;
    std::string DialUser() const override;
    void SetDialUser(const std::string& Text) override;
    std::string DialPwd() const override;
    void SetDialPwd(const std::string& Text) override;
    std::string DialTimeText() const override;
    void SetDialTimeText(const std::string& Text) override;
    std::string DialWaintTimeText() const override;
    void SetDialWaintTimeText(const std::string& Text) override;
    bool Start() const override;
    void SetStart(bool Checked) override;

    // Design values.
    static constexpr int DesignLeft = 282;
    static constexpr int DesignTop = 152;
    static constexpr int DesignClientWidth = 510;
    static constexpr int DesignClientHeight = 427;
    static QColor DesignColor() { return QColor(235, 238, 243); }
    static QString DesignCaption() { return QStringLiteral("Tornevo V2.0.18"); }

protected:
    bool event(QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

signals:
    // The window was closed: every modal showing in progress ends.
    void ModalEnded();

private:
    void CreateComponents();
    void FillDialer();
    void OpenUrl(const QUrl& Url);
    // SetActiveWindow and SetForegroundWindow: a minimised window is restored as well.
    void BringToFront();

    TXPMenu* FXPMenu = nullptr;
    TRedialEngine FEngine;
    QUrl FSiteUrl;
    std::string FSettingsPath;
    QString FBrowserProgram;
    NOTIFYICONDATAA FIconData;
    std::uint32_t FIconRestoreMsg = 0;
    int FModalLevel = 0;
    std::function<std::chrono::steady_clock::time_point()> FClock;
    // When the armed Timer1 is due, and when the tick that Timer1 started and that is running
    // now was due.
    std::optional<std::chrono::steady_clock::time_point> FTimerDue;
    std::optional<std::chrono::steady_clock::time_point> FTickDue;
};

// The program's icon: 32 x 32 pixels in 16 colours.
QIcon ApplicationIcon();
