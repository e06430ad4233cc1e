#include "DialUpUnit.h"

#include "ConnectionControl.h"
#include "Dialer.h"
#include "Fonts.h"
#include "LangUnit.h"
#include "SiteConfig.h"
#include "WebBrowser.h"
#include "XPMenu.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDesktopServices>
#include <QEventLoop>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>

// Timer1's interval: the redial cycle counts seconds.
constexpr std::chrono::milliseconds Timer1Interval{1000};

// The unit's initialisation and finalisation: the lookup table lives before the window is
// created and after it is gone.
static LanguageUnit DialUpUnitLanguage;

QUrl ProductSiteUrl() {
    return QUrl(QStringLiteral(TORNEVO_SITE_URL));
}

QUrl UpdatePageUrl(const QUrl& Site) {
    return Site.resolved(QUrl(QStringLiteral("/update/main1.htm")));
}

QIcon ApplicationIcon() {
    return QIcon(QStringLiteral(":/tornevo/tornevo.png"));
}

// Texts cross to the core and dialup.ini as 8-bit strings of the system's code page (the ANSI
// code page on Windows, UTF-8 here), hence the local 8-bit conversions below.
namespace {

const QColor clTeal(0, 128, 128);
const QColor clBlue(0, 0, 255);
const QColor clRed(255, 0, 0);
const QColor clNavy(0, 0, 128);
const QColor clBlack(0, 0, 0);

void SetTextColor(QWidget* Control, const QColor& Color) {
    QPalette palette = Control->palette();
    palette.setColor(QPalette::WindowText, Color);
    palette.setColor(QPalette::Text, Color);
    palette.setColor(QPalette::ButtonText, Color);
    Control->setPalette(palette);
}

TLabel* NewLabel(const char* Name, QWidget* Parent, QRect Geometry, const QString& Caption) {
    auto* label = new TLabel(Parent);
    label->setObjectName(QString::fromLatin1(Name));
    label->setGeometry(Geometry);
    label->setText(Caption);
    return label;
}

QString FeatureSummary() {
    return QStringLiteral("功能简介： \r"
                          "    本软件为完全免费的绿色软件，无需安装，下载解压后直接可用。"
                          "适合ADSL、Modem等各种各样的windows标准连接重复拨号，"
                          "只要在“拨号连接”中能选到，就可以使用。"
                          "适用于各种需要重新拨号换IP的场合。"
                          "注意：拨号上网和发信电脑是同一台才可以使用此功能。");
}

QString UsageText(const QUrl& Site) {
    return QStringLiteral("使用方法：     \r"
                          "    \"拨号连接\"：选你拨号上网的连接，注意：只有windows的标准连接"
                          "才会在下接菜单中出现，否则不能使用该定时拨号功能。\r"
                          "    \"账号\"：填你的拨号的账号。\r"
                          "    \"密码\"：填你的拨号的密码。\r"
                          "    \"重复拨号时间\"：必须大于2秒，小于或等于2不会执行该功能。"
                          "可以填180秒（3分钟）或300秒(5分钟)，视情况自己填写。\r"
                          "    进行以上设置后，别忘了点击“启用”，否则不会定时进行拨号。\r"
                          "    更多信息或有问题，欢迎访问我们的网站进入论坛留言！") +
           Site.toString();
}

QString PromotionText() {
    return QStringLiteral("点击这里到我们的网站免费下载本站的另外两款小工具：\r"
                          "“定时关机助手”和“网络流量监视器”，绿色免安装，欢迎试用！");
}

// Opt-in trace for the benchmarks: with TORNEVO_TICK_TRACE=FILE each tick writes one
// CLOCK_MONOTONIC timestamp (ns) to FILE. The variable is read once; unset, a tick pays one test.
void TraceTick() {
    static FILE* const Trace = [] {
        const char* path = std::getenv("TORNEVO_TICK_TRACE");
        return path && *path ? std::fopen(path, "w") : nullptr;
    }();
    if (!Trace)
        return;
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::fprintf(
        Trace, "%lld\n",
        static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
    std::fflush(Trace);
}

QString CreditLine() {
    return QStringLiteral(" Tornevo 软件工作室 荣誉出品　免费软件，欢迎传播");
}

} // namespace

TDialUpFrm::TDialUpFrm() : TDialUpFrm(TOptions{}) {}

TDialUpFrm::TDialUpFrm(const TOptions& Options)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      FEngine(*this, *this), FSiteUrl(Options.SiteUrl), FSettingsPath(Options.SettingsPath),
      FBrowserProgram(Options.BrowserProgram),
      // Notification areas announce a restart to every window; the icon is added again then.
      FIconRestoreMsg(TaskbarCreatedMessage()), FClock(Options.Clock) {
    CreateComponents();
    FEngine.SetSaveSettings([this] { SaveSettings(*this, FSettingsPath); });
    // A failure ends the creation handler where it happened and is shown; the window stays
    // as far as it was prepared.
    try {
        FormCreate();
    } catch (...) {
        TApplication::HandleException();
    }
}

TDialUpFrm::~TDialUpFrm() {
    FormDestroy();
}

void TDialUpFrm::CreateComponents() {
    setObjectName(QStringLiteral("DialUpFrm"));
    setWindowTitle(DesignCaption());
    setFont(WindowFont(12));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, DesignColor());
    setPalette(palette);
    setAutoFillBackground(true);
    setFixedSize(DesignClientWidth, DesignClientHeight);
    move(DesignLeft, DesignTop);

    RzPageControl1 = new TRzPageControl(this);
    RzPageControl1->setObjectName(QStringLiteral("RzPageControl1"));
    RzPageControl1->setGeometry(0, 0, DesignClientWidth, DesignClientHeight);
    RzPageControl1->SetTabHeight(18);

    TabSheet1 = new TRzTabSheet(RzPageControl1);
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet1->SetCaption(QStringLiteral("参数设置"));

    Label2 = NewLabel("Label2", TabSheet1, {25, 172, 449, 69}, FeatureSummary());
    SetTextColor(Label2, clTeal);
    Label2->setWordWrap(true);
    Label3 = NewLabel("Label3", TabSheet1, {25, 246, 457, 151}, UsageText(FSiteUrl));
    SetTextColor(Label3, clBlue);
    Label3->setWordWrap(true);
    Label4 = NewLabel("Label4", TabSheet1, {26, 362, 405, 28}, PromotionText());
    SetTextColor(Label4, clRed);
    Label4->setWordWrap(true);
    QFont underlined = font();
    underlined.setUnderline(true);
    Label4->setFont(underlined);
    Label4->setCursor(Qt::PointingHandCursor);
    connect(Label4, &TLabel::Clicked, this, [this] { Label4Click(); });

    Panel5 = new TPanel(TabSheet1);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    Panel5->setGeometry(36, 5, 425, 161);
    Panel5->SetBevelOuter(bvRaised);
    Panel5->SetBevelInner(bvLowered);

    Label65 = NewLabel("Label65", Panel5, {32, 14, 71, 12}, QStringLiteral("拨号连接"));
    lbel343 = NewLabel("lbel343", Panel5, {32, 39, 47, 12}, QStringLiteral("账号"));
    label890 = NewLabel("label890", Panel5, {32, 65, 47, 12}, QStringLiteral("密码"));
    Label68 = NewLabel("Label68", Panel5, {32, 91, 101, 12}, QStringLiteral("重复拨号时间 "));
    Label66 = NewLabel("Label66", Panel5, {358, 91, 35, 12}, QStringLiteral("秒"));
    SetTextColor(Label66, clBlack);
    Label66->SetTransparent(true);
    Label1 = NewLabel("Label1", Panel5, {57, 143, 80, 13}, QString());
    SetTextColor(Label1, clRed);
    Label1->setFont(WindowFont(11));
    Label131 = NewLabel("Label131", Panel5, {32, 120, 83, 16}, QStringLiteral("断线后等待"));
    Label132 = NewLabel("Label132", Panel5, {358, 117, 61, 15}, QStringLiteral("秒再重拨"));
    SetTextColor(Label132, clBlack);
    Label132->SetTransparent(true);

    edtDialer = new QComboBox(Panel5);
    edtDialer->setObjectName(QStringLiteral("edtDialer"));
    edtDialer->setGeometry(116, 10, 225, 20);
    edtDialer->setEditable(false);
    SetTextColor(edtDialer, clNavy);

    edtDialUser = new QLineEdit(Panel5);
    edtDialUser->setObjectName(QStringLiteral("edtDialUser"));
    edtDialUser->setGeometry(116, 35, 225, 20);
    SetTextColor(edtDialUser, clNavy);

    edtDialPWD = new QLineEdit(Panel5);
    edtDialPWD->setObjectName(QStringLiteral("edtDialPWD"));
    edtDialPWD->setGeometry(116, 61, 225, 20);
    SetTextColor(edtDialPWD, clNavy);
    edtDialPWD->setEchoMode(QLineEdit::Password);

    edtDialTime = new TSpinEdit(Panel5);
    edtDialTime->setObjectName(QStringLiteral("edtDialTime"));
    edtDialTime->setGeometry(115, 87, 225, 21);
    edtDialTime->SetMinValue(0);
    edtDialTime->SetMaxValue(10000000);
    edtDialTime->SetValue(0);
    SetTextColor(edtDialTime, clBlack);

    CheckBox1 = new QCheckBox(Panel5);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(276, 142, 57, 17);
    CheckBox1->setText(QStringLiteral("启用"));
    // Every change of the box is a click, whether the user or the settings made it.
    connect(CheckBox1, &QCheckBox::toggled, this, [this] {
        try {
            CheckBox1Click();
        } catch (...) {
            TApplication::HandleException();
        }
    });

    edtDialWaintTime = new TSpinEdit(Panel5);
    edtDialWaintTime->setObjectName(QStringLiteral("edtDialWaintTime"));
    edtDialWaintTime->setGeometry(115, 114, 225, 21);
    edtDialWaintTime->SetMinValue(0);
    edtDialWaintTime->SetMaxValue(10000000);
    edtDialWaintTime->SetValue(5);
    SetTextColor(edtDialWaintTime, clBlack);

    StatusBar1 = new TStatusBar(TabSheet1);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(0, RzPageControl1->PageRect().height() - 19, DesignClientWidth, 19);
    StatusBar1->AddPanel(450, CreditLine());
    StatusBar1->AddPanel(50, QString());

    TabSheet10 = new TRzTabSheet(RzPageControl1);
    TabSheet10->setObjectName(QStringLiteral("TabSheet10"));
    TabSheet10->SetCaption(QStringLiteral("官方更新"));

    WebBrowser2 = new TWebBrowser(TabSheet10, FBrowserProgram);
    WebBrowser2->setObjectName(QStringLiteral("WebBrowser2"));
    WebBrowser2->setGeometry(0, 23, DesignClientWidth, RzPageControl1->PageRect().height() - 23);

    Panel7 = new TPanel(TabSheet10);
    Panel7->setObjectName(QStringLiteral("Panel7"));
    Panel7->setGeometry(0, 0, DesignClientWidth, 23);
    Panel7->SetBevelOuter(bvNone);
    Panel7->SetBevelInner(bvNone);

    SpeedButton43 = new QToolButton(Panel7);
    SpeedButton43->setObjectName(QStringLiteral("SpeedButton43"));
    SpeedButton43->setGeometry(8, 1, 60, 21);
    SpeedButton43->setText(QStringLiteral("刷新(&R)"));
    SpeedButton43->setAutoRaise(true);
    SpeedButton43->setFocusPolicy(Qt::NoFocus);
    connect(SpeedButton43, &QToolButton::clicked, this, [this] { SpeedButton43Click(); });

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(Timer1Interval);
    // A coarse timer may fire up to 5% early or late, which would skew the schedule.
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setSingleShot(false);
    connect(Timer1, &QTimer::timeout, this, [this] {
        TraceTick();
        // The tick's second runs from when it was due, however late its handler runs.
        const auto outerTickDue = std::exchange(FTickDue, FTimerDue);
        try {
            Timer1Timer();
        } catch (...) {
            TApplication::HandleException();
        }
        FTickDue = outerTickDue;
    });

    PopupMenu = new QMenu(this);
    PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
    PopupMenu->setFont(font());
    N1 = PopupMenu->addAction(QStringLiteral("显示主窗口(&S)"));
    N1->setObjectName(QStringLiteral("N1"));
    E1 = PopupMenu->addAction(QStringLiteral("退出系统(&E)"));
    E1->setObjectName(QStringLiteral("E1"));
    // Run once the menu has closed, as a menu command is.
    connect(
        N1, &QAction::triggered, this, [this] { N1Click(); }, Qt::QueuedConnection);
    connect(
        E1, &QAction::triggered, this, [this] { E1Click(); }, Qt::QueuedConnection);

    setTabOrder(RzPageControl1, edtDialer);
    setTabOrder(edtDialer, edtDialUser);
    setTabOrder(edtDialUser, edtDialPWD);
    setTabOrder(edtDialPWD, edtDialTime);
    setTabOrder(edtDialTime, CheckBox1);
    setTabOrder(CheckBox1, edtDialWaintTime);
    setTabOrder(edtDialWaintTime, WebBrowser2);

    // The password shows "*" with or without the flat styling.
    auto* formStyle = new TFormStyle;
    formStyle->setParent(this);
    edtDialPWD->setStyle(formStyle);
}

void TDialUpFrm::FormCreate() {
    FXPMenu = new TXPMenu(this);
    FXPMenu->SetActive(true);
    FEngine.ResetTickCount();
    RzPageControl1->SetActivePage(TabSheet10);
    WebBrowser2->Navigate(UpdatePageUrl(FSiteUrl));
    Label1->setText(QString());
    FillDialer();
    LoadSettings(*this, FSettingsPath);
}

void TDialUpFrm::FillDialer() {
    std::vector<std::string> items;
    if (ras::IRasService* service = GetRasService())
        items = DialerItems(*service);
    edtDialer->clear();
    for (const std::string& item : items)
        edtDialer->addItem(QString::fromLocal8Bit(item));
    edtDialer->setCurrentIndex(-1);
}

void TDialUpFrm::FormShow() {
    TApplication::SetTitle(windowTitle());
}

void TDialUpFrm::FormDestroy() {
    RemoveTrayIcon();
    SaveSettings(*this, FSettingsPath);
}

void TDialUpFrm::Timer1Timer() {
    FEngine.Timer1Timer();
}

void TDialUpFrm::CheckBox1Click() {
    // The switch starts a second of its own, also when clicked during a tick's waits.
    FTickDue.reset();
    FEngine.CheckBox1Click();
}

void TDialUpFrm::Label4Click() {
    OpenUrl(FSiteUrl);
}

void TDialUpFrm::SpeedButton43Click() {
    WebBrowser2->Refresh();
}

void TDialUpFrm::N1Click() {
    if (isVisible())
        BringToFront();
    else
        ShowModal();
}

void TDialUpFrm::E1Click() {
    RemoveTrayIcon();
    TApplication::Terminate();
}

void TDialUpFrm::AddTrayIcon() {
    FIconData = NOTIFYICONDATAA{};
    FIconData.cbSize = NOTIFYICONDATAA_V1_SIZE;
    FIconData.hWnd = this;
    FIconData.uID = IconID;
    FIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    FIconData.uCallbackMessage = WM_TRAYNOTIFY;
    FIconData.hIcon = ApplicationIcon();
    SetTip(FIconData, windowTitle());
    Shell_NotifyIconA(NIM_ADD, &FIconData);
}

void TDialUpFrm::RemoveTrayIcon() {
    Shell_NotifyIconA(NIM_DELETE, &FIconData);
}

void TDialUpFrm::WMTrayNotify(TMessage& Message) {
    if (Message.WParam != IconID)
        return;
    switch (Message.LParam) {
    case WM_LBUTTONDBLCLK:
        if (isVisible()) {
            BringToFront();
        } else {
            activateWindow();
            ShowModal();
        }
        break;
    case WM_RBUTTONUP:
        BringToFront();
        PopupMenu->popup(QCursor::pos());
        break;
    default:
        break;
    }
}

void TDialUpFrm::WndProc(TMessage& Message) {
    if (Message.Msg == FIconRestoreMsg) {
        AddTrayIcon();
        update();
    }
    if (Message.Msg == WM_TRAYNOTIFY)
        WMTrayNotify(Message);
}

bool TDialUpFrm::event(QEvent* Event) {
    if (Event->type() == TMessageEvent::EventType()) {
        WndProc(static_cast<TMessageEvent*>(Event)->Message);
        return true;
    }
    return QWidget::event(Event);
}

void TDialUpFrm::BringToFront() {
    if (!isVisible())
        return;
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void TDialUpFrm::ShowModal() {
    // Once the application is terminating no showing starts: it would end at once.
    if (TApplication::Terminated())
        return;
    if (isVisible()) {
        BringToFront();
        return;
    }
    show();
    BringToFront();
    QEventLoop loop;
    connect(this, &TDialUpFrm::ModalEnded, &loop, &QEventLoop::quit);
    ++FModalLevel;
    TApplication::ExecNested(loop);
    --FModalLevel;
    // The loop also ends when the application terminates; the window is then put away too.
    hide();
}

void TDialUpFrm::showEvent(QShowEvent* Event) {
    QWidget::showEvent(Event);
    // The browser released while hidden comes back at the address it showed, link or not.
    WebBrowser2->Restore();
    if (!Event->spontaneous())
        FormShow();
}

void TDialUpFrm::hideEvent(QHideEvent* Event) {
    QWidget::hideEvent(Event);
    if (Event->spontaneous())
        return;
    // Hours in the notification area need no browser: end it once the window stays hidden.
    QTimer::singleShot(0, WebBrowser2, [this] {
        if (!isVisible())
            WebBrowser2->Release();
    });
}

void TDialUpFrm::closeEvent(QCloseEvent* Event) {
    // Closing only hides the window and ends its modal showing; the program goes on.
    Event->accept();
    emit ModalEnded();
}

void TDialUpFrm::OpenUrl(const QUrl& Url) {
    QDesktopServices::openUrl(Url);
}

std::string TDialUpFrm::EntryName() const {
    return edtDialer->currentIndex() < 0 ? std::string()
                                         : edtDialer->currentText().toLocal8Bit().toStdString();
}

std::string TDialUpFrm::Account() const {
    return edtDialUser->text().toLocal8Bit().toStdString();
}

std::string TDialUpFrm::Password() const {
    return edtDialPWD->text().toLocal8Bit().toStdString();
}

std::string TDialUpFrm::IntervalText() const {
    return edtDialTime->text().toLocal8Bit().toStdString();
}

std::string TDialUpFrm::PauseText() const {
    return edtDialWaintTime->text().toLocal8Bit().toStdString();
}

bool TDialUpFrm::SwitchChecked() const {
    return CheckBox1->isChecked();
}

void TDialUpFrm::SetTimerEnabled(bool Enabled) {
    if (!Enabled) {
        Timer1->stop();
        Timer1->setInterval(Timer1Interval);
        FTimerDue.reset();
        return;
    }
    // As a window timer: enabling a running timer does not restart its second.
    if (Timer1->isActive())
        return;
    // After a tick that ended within its second only the rest of it is armed, so neither the
    // tick's work nor its handler's lateness shifts the schedule; a longer tick and the switch
    // arm a full second.
    const auto now = FClock();
    const auto full = now + Timer1Interval;
    const auto due = FTickDue && now < *FTickDue + Timer1Interval
                         ? std::min(*FTickDue + Timer1Interval, full)
                         : full;
    FTimerDue = due;
    Timer1->start(std::chrono::round<std::chrono::milliseconds>(due - now));
}

// The cycle waits with Sleep and then serves the messages that queued up meanwhile. Here the
// wait itself runs the event loop, so the window, the icon and its menu answer during the
// wait instead of after it. The cycle cannot tell the difference: its timer is stopped for the
// length of a tick either way, and whatever handler runs inside the wait (the switch, Exit, a
// nested tick after the switch was turned on) is one that the following ProcessMessages would
// have run at that point. Once the application is terminating no wait starts, so the rest of
// the tick passes at once and the program can end.
void TDialUpFrm::Sleep(std::int32_t Milliseconds) {
    if (Milliseconds <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(Milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    TApplication::ExecNested(loop);
}

void TDialUpFrm::ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TDialUpFrm::OpenProductSite() {
    OpenUrl(FSiteUrl);
}

void TDialUpFrm::SetSecondsDisplay(const std::string& Text) {
    Label1->setText(QString::fromLocal8Bit(Text));
}

int TDialUpFrm::DialerItemCount() const {
    return edtDialer->count();
}

int TDialUpFrm::DialerItemIndex() const {
    return edtDialer->currentIndex();
}

void TDialUpFrm::SetDialerItemIndex(int Index) {
    edtDialer->setCurrentIndex(Index >= 0 && Index < edtDialer->count() ? Index : -1);
}

std::string TDialUpFrm::DialUser() const {
    return edtDialUser->text().toLocal8Bit().toStdString();
}

void TDialUpFrm::SetDialUser(const std::string& Text) {
    edtDialUser->setText(QString::fromLocal8Bit(Text));
}

std::string TDialUpFrm::DialPwd() const {
    return edtDialPWD->text().toLocal8Bit().toStdString();
}

void TDialUpFrm::SetDialPwd(const std::string& Text) {
    edtDialPWD->setText(QString::fromLocal8Bit(Text));
}

std::string TDialUpFrm::DialTimeText() const {
    return edtDialTime->text().toLocal8Bit().toStdString();
}

void TDialUpFrm::SetDialTimeText(const std::string& Text) {
    edtDialTime->setText(QString::fromLocal8Bit(Text));
}

std::string TDialUpFrm::DialWaintTimeText() const {
    return edtDialWaintTime->text().toLocal8Bit().toStdString();
}

void TDialUpFrm::SetDialWaintTimeText(const std::string& Text) {
    edtDialWaintTime->setText(QString::fromLocal8Bit(Text));
}

bool TDialUpFrm::Start() const {
    return CheckBox1->isChecked();
}

void TDialUpFrm::SetStart(bool Checked) {
    CheckBox1->setChecked(Checked);
}
