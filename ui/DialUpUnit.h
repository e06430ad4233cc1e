#pragma once

// The main window: the settings tab with the six inputs of the redial cycle and the help
// texts, the update tab with the vendor's page, the one-second timer, and the pop-up menu and
// icon of the notification area.

#include "Controls.h"
#include "Forms.h"
#include "RedialEngine.h"
#include "RzPageControl.h"
#include "Settings.h"
#include "SpinEdit.h"

#include <QUrl>
#include <QWidget>

#include <cstdint>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QEventLoop;
class QLineEdit;
class QMenu;
class QTimer;
class QToolButton;
class QWebEngineView;
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
    };

    // Creates the components and runs FormCreate.
    TDialUpFrm();
    explicit TDialUpFrm(const TOptions& Options);
    ~TDialUpFrm() override;

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
    QWebEngineView* WebBrowser2;
    TPanel* Panel7;
    QToolButton* SpeedButton43;
    QTimer* Timer1;
    QMenu* PopupMenu;
    QAction* N1;
    QAction* E1;

    // Event handlers.
    void FormCreate();
    void FormShow();
    void Timer1Timer();
    void CheckBox1Click();
    void Label4Click();
    void SpeedButton43Click();

    // Shows the window and serves messages until it is closed (which only hides it).
    void ShowModal();

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
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

signals:
    // The window was closed: every modal showing in progress ends.
    void ModalEnded();

private:
    void CreateComponents();
    void OpenUrl(const QUrl& Url);

    TXPMenu* FXPMenu = nullptr;
    TRedialEngine FEngine;
    QUrl FSiteUrl;
};
