// The main window on the offscreen platform: its layout, texts and fonts, the number fields,
// the switch and the timer.

#include "ConnectionControl.h"
#include "DialUpUnit.h"
#include "Fonts.h"
#include "LangUnit.h"
#include "SimulatedRas.h"
#include "TestForms.h"
#include "XPMenu.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMenu>
#include <QRawFont>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// Stands in for the desktop's web browser.
class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Urls;
public slots:
    void Open(const QUrl& Url) { Urls.append(Url); }
};

namespace {

const QUrl Site(QStringLiteral("http://127.0.0.1:9/"));

std::unique_ptr<TDialUpFrm> NewForm() {
    return std::make_unique<TDialUpFrm>(TestOptions(Site));
}

// One component of the window as it was designed.
struct Component {
    const char* Name;
    const char* Parent;
    QRect Geometry;
    std::optional<QString> Text;
    std::optional<QColor> TextColor;
    int FontPixels = 12;
};

void PrintTo(const Component& c, std::ostream* os) {
    *os << c.Name;
}

QString UsageText() {
    return QStringLiteral("使用方法：     \r"
                          "    "
                          "\"拨号连接\"：选你拨号上网的连接，注意：只有windows的标准连接才会在下接"
                          "菜单中出现，否则不能使用该定时拨号功能。\r"
                          "    \"账号\"：填你的拨号的账号。\r"
                          "    \"密码\"：填你的拨号的密码。\r"
                          "    "
                          "\"重复拨号时间\"：必须大于2秒，小于或等于2不会执行该功能。可以填180秒（3"
                          "分钟）或300秒(5分钟)，视情况自己填写。\r"
                          "    进行以上设置后，别忘了点击“启用”，否则不会定时进行拨号。\r"
                          "    更多信息或有问题，欢迎访问我们的网站进入论坛留言！") +
           Site.toString();
}

const QColor Teal(0, 128, 128), Blue(0, 0, 255), Red(255, 0, 0), Navy(0, 0, 128), Black(0, 0, 0);

const Component Components[] = {
    {"RzPageControl1", "DialUpFrm", {0, 0, 510, 427}, {}, {}},
    {"TabSheet1", "RzPageControl1", {0, 19, 510, 408}, {}, {}},
    {"Label2",
     "TabSheet1",
     {25, 172, 449, 69},
     QStringLiteral("功能简介： \r    本软件为完全免费的绿色软件，无需安装，下载解压后直接可用。"
                    "适合ADSL、Modem等各种各样的windows标准连接重复拨号，只要在“拨号连接”中能选到，"
                    "就可以使用。适用于各种需要重新拨号换IP的场合。"
                    "注意：拨号上网和发信电脑是同一台才可以使用此功能。"),
     Teal},
    {"Label3", "TabSheet1", {25, 246, 457, 151}, UsageText(), Blue},
    {"Label4", "TabSheet1", {26, 362, 405, 28}, {}, Red},
    {"Panel5", "TabSheet1", {36, 5, 425, 161}, {}, {}},
    {"Label65", "Panel5", {32, 14, 71, 12}, QStringLiteral("拨号连接"), Black},
    {"lbel343", "Panel5", {32, 39, 47, 12}, QStringLiteral("账号"), Black},
    {"label890", "Panel5", {32, 65, 47, 12}, QStringLiteral("密码"), Black},
    {"Label68", "Panel5", {32, 91, 101, 12}, QStringLiteral("重复拨号时间 "), Black},
    {"Label66", "Panel5", {358, 91, 35, 12}, QStringLiteral("秒"), Black},
    {"Label1", "Panel5", {57, 143, 80, 13}, QString(), Red, 11},
    {"Label131", "Panel5", {32, 120, 83, 16}, QStringLiteral("断线后等待"), Black},
    {"Label132", "Panel5", {358, 117, 61, 15}, QStringLiteral("秒再重拨"), Black},
    {"edtDialer", "Panel5", {116, 10, 225, 20}, QString(), Navy},
    {"edtDialUser", "Panel5", {116, 35, 225, 20}, QString(), Black},
    {"edtDialPWD", "Panel5", {116, 61, 225, 20}, QString(), Black},
    {"edtDialTime", "Panel5", {115, 87, 225, 21}, QStringLiteral("0"), Black},
    {"CheckBox1", "Panel5", {276, 142, 57, 17}, QStringLiteral("启用"), {}},
    {"edtDialWaintTime", "Panel5", {115, 114, 225, 21}, QStringLiteral("5"), Black},
    {"StatusBar1", "TabSheet1", {0, 389, 510, 19}, {}, {}},
    {"TabSheet10", "RzPageControl1", {0, 19, 510, 408}, {}, {}},
    {"WebBrowser2", "TabSheet10", {0, 23, 510, 385}, {}, {}},
    {"Panel7", "TabSheet10", {0, 0, 510, 23}, {}, {}},
    {"SpeedButton43", "Panel7", {8, 1, 60, 21}, QStringLiteral("刷新(&R)"), {}},
};

QString TextOf(QWidget* Widget) {
    if (auto* label = qobject_cast<QLabel*>(Widget))
        return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(Widget))
        return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(Widget))
        return combo->currentText();
    if (auto* button = qobject_cast<QAbstractButton*>(Widget))
        return button->text();
    return {};
}

QColor TextColorOf(QWidget* Widget) {
    const QPalette::ColorRole role =
        qobject_cast<QLabel*>(Widget) ? QPalette::WindowText : QPalette::Text;
    return Widget->palette().color(role);
}

class ComponentTest : public ::testing::TestWithParam<Component> {};

TEST_P(ComponentTest, StandsWhereTheWindowWasDesigned) {
    const Component& c = GetParam();
    auto form = NewForm();
    // Geometry of hidden pages is as laid out, whichever page is active.
    auto* widget = form->findChild<QWidget*>(QString::fromLatin1(c.Name));
    ASSERT_NE(widget, nullptr);
    ASSERT_NE(widget->parentWidget(), nullptr);
    EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromLatin1(c.Parent));
    EXPECT_EQ(widget->geometry(), c.Geometry);
    if (c.Text) {
        EXPECT_EQ(TextOf(widget), *c.Text);
    }
    if (c.TextColor) {
        EXPECT_EQ(TextColorOf(widget), *c.TextColor);
    }
    EXPECT_EQ(QFontInfo(widget->font()).pixelSize(), c.FontPixels);
}

INSTANTIATE_TEST_SUITE_P(Layout, ComponentTest, ::testing::ValuesIn(Components),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(MainWindowTest, WindowFrameCaptionAndColours) {
    auto form = NewForm();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Tornevo V2.0.18"));
    EXPECT_EQ(form->pos(), QPoint(282, 152));
    EXPECT_EQ(form->size(), QSize(510, 427));
    EXPECT_EQ(form->minimumSize(), QSize(510, 427));
    EXPECT_EQ(form->maximumSize(), QSize(510, 427));
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(235, 238, 243));
    // Both pages keep the window's colour rather than a style's tab pane.
    for (QWidget* page :
         {static_cast<QWidget*>(form->TabSheet1), static_cast<QWidget*>(form->TabSheet10)}) {
        EXPECT_TRUE(page->autoFillBackground());
        EXPECT_EQ(page->palette().color(QPalette::Window), QColor(235, 238, 243));
    }
    EXPECT_EQ(form->TabSheet1->Caption(), QStringLiteral("参数设置"));
    EXPECT_EQ(form->TabSheet10->Caption(), QStringLiteral("官方更新"));
    EXPECT_EQ(form->RzPageControl1->TabHeight(), 18);
    // The update page is the one shown first.
    EXPECT_EQ(form->RzPageControl1->ActivePage(), form->TabSheet10);
    EXPECT_EQ(form->WebBrowser2->LocationURL(),
              QUrl(QStringLiteral("http://127.0.0.1:9/update/main1.htm")));
}

TEST(MainWindowTest, HelpTextsBreakIntoTheirLinesWithFourBlankIndents) {
    auto form = NewForm();
    const QStringList summary = SplitCaptionLines(form->Label2->text());
    ASSERT_EQ(summary.size(), 2);
    EXPECT_EQ(summary[0], QStringLiteral("功能简介： "));
    EXPECT_TRUE(summary[1].startsWith(QStringLiteral("    本")));
    const QStringList usage = SplitCaptionLines(form->Label3->text());
    ASSERT_EQ(usage.size(), 7);
    EXPECT_EQ(usage[0], QStringLiteral("使用方法：     "));
    for (int i = 1; i < 7; ++i) {
        EXPECT_TRUE(usage[i].startsWith(QStringLiteral("    "))) << i;
        EXPECT_NE(usage[i].at(4), u' ') << i;
    }
    EXPECT_TRUE(usage[6].endsWith(Site.toString()));
    // Two lines of promotion, underlined, with a hand cursor.
    EXPECT_EQ(SplitCaptionLines(form->Label4->text()).size(), 2);
    EXPECT_TRUE(form->Label4->font().underline());
    EXPECT_EQ(form->Label4->cursor().shape(), Qt::PointingHandCursor);
    // Only the two unit labels are transparent.
    EXPECT_TRUE(form->Label66->Transparent());
    EXPECT_TRUE(form->Label132->Transparent());
    EXPECT_FALSE(form->Label65->Transparent());
    // Word-wrapped texts stay inside their labels.
    for (TLabel* label : {form->Label2, form->Label3})
        EXPECT_LE(label->DrawnLines().size() * label->CellHeight(), label->height())
            << label->objectName().toStdString();
}

TEST(MainWindowTest, StatusBarHasTwoPanels) {
    auto form = NewForm();
    ASSERT_EQ(form->StatusBar1->PanelCount(), 2);
    EXPECT_EQ(form->StatusBar1->PanelWidth(0), 450);
    EXPECT_EQ(form->StatusBar1->PanelWidth(1), 50);
    EXPECT_FALSE(form->StatusBar1->PanelText(0).trimmed().isEmpty());
    EXPECT_TRUE(form->StatusBar1->PanelText(1).isEmpty());
}

TEST(MainWindowTest, Panel5HasARaisedOuterAndALoweredInnerBevel) {
    auto form = NewForm();
    EXPECT_EQ(form->Panel5->BevelOuter(), bvRaised);
    EXPECT_EQ(form->Panel5->BevelInner(), bvLowered);
    EXPECT_EQ(form->Panel5->BorderWidth(), 2);
    EXPECT_EQ(form->Panel7->BorderWidth(), 0);
}

TEST(MainWindowTest, TimerAndMenu) {
    auto form = NewForm();
    EXPECT_EQ(form->Timer1->objectName(), QStringLiteral("Timer1"));
    EXPECT_EQ(form->Timer1->interval(), 1000);
    EXPECT_EQ(form->Timer1->timerType(), Qt::PreciseTimer);
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_EQ(form->PopupMenu->objectName(), QStringLiteral("PopupMenu"));
    const QList<QAction*> items = form->PopupMenu->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0], form->N1);
    EXPECT_EQ(items[0]->objectName(), QStringLiteral("N1"));
    EXPECT_EQ(items[0]->text(), QStringLiteral("显示主窗口(&S)"));
    EXPECT_EQ(items[1], form->E1);
    EXPECT_EQ(items[1]->objectName(), QStringLiteral("E1"));
    EXPECT_EQ(items[1]->text(), QStringLiteral("退出系统(&E)"));
}

TEST(MainWindowTest, TheFlatStylingTakesTheInputsButtonPanelAndMenu) {
    auto form = NewForm();
    ASSERT_NE(form->XPMenu(), nullptr);
    EXPECT_TRUE(form->XPMenu()->Active());
    const QList<QWidget*> styled = form->XPMenu()->Controls();
    for (QWidget* control :
         std::initializer_list<QWidget*>{form->edtDialer, form->edtDialUser, form->edtDialPWD,
                                         form->edtDialTime, form->edtDialWaintTime, form->CheckBox1,
                                         form->SpeedButton43, form->Panel5, form->PopupMenu})
        EXPECT_TRUE(styled.contains(control)) << control->objectName().toStdString();
    EXPECT_FALSE(styled.contains(form->Panel7));
    // Edits and number fields: black on the window's colour; the selector keeps navy.
    for (QWidget* edit : std::initializer_list<QWidget*>{
             form->edtDialUser, form->edtDialPWD, form->edtDialTime, form->edtDialWaintTime}) {
        EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(0, 0, 0));
        EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(235, 238, 243));
    }
    EXPECT_EQ(form->edtDialer->palette().color(QPalette::Text), QColor(0, 0, 128));
    // The panel's frame lights up under the mouse.
    const QColor idle = form->Panel5->palette().color(QPalette::Dark);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(form->Panel5, &enter);
    EXPECT_NE(form->Panel5->palette().color(QPalette::Dark), idle);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(form->Panel5, &leave);
    EXPECT_EQ(form->Panel5->palette().color(QPalette::Dark), idle);
    // The password shows stars.
    form->edtDialPWD->setText(QStringLiteral("abc"));
    EXPECT_EQ(form->edtDialPWD->displayText(), QStringLiteral("***"));
}

// Every character of every text the window shows is in the font it is drawn with, and that
// font is the installed substitute: nothing can come out as boxes.
TEST(MainWindowTest, TheResolvedFontCoversEveryText) {
    auto form = NewForm();
    form->edtDialer->addItem(QStringLiteral("宽带连接"));
    std::vector<std::pair<QString, QFont>> texts;
    texts.emplace_back(form->windowTitle(), form->font());
    for (QWidget* widget : form->findChildren<QWidget*>()) {
        if (auto* page = qobject_cast<TRzTabSheet*>(widget))
            texts.emplace_back(page->Caption(), form->RzPageControl1->font());
        if (auto* bar = qobject_cast<TStatusBar*>(widget))
            for (int i = 0; i < bar->PanelCount(); ++i)
                texts.emplace_back(bar->PanelText(i), bar->font());
        if (auto* combo = qobject_cast<QComboBox*>(widget))
            for (int i = 0; i < combo->count(); ++i)
                texts.emplace_back(combo->itemText(i), combo->font());
        const QString text = TextOf(widget);
        if (!text.isEmpty())
            texts.emplace_back(text, widget->font());
    }
    for (QAction* action : form->PopupMenu->actions())
        texts.emplace_back(action->text(), form->PopupMenu->font());
    ASSERT_GT(texts.size(), 20u);
    for (const auto& [text, font] : texts) {
        EXPECT_EQ(QFontInfo(font).family(), WindowFontSubstitute()) << text.toStdString();
        const QRawFont raw = QRawFont::fromFont(font);
        const QFontMetrics metrics(font);
        for (const char32_t c : text.toUcs4()) {
            if (c < 0x20)
                continue;
            EXPECT_TRUE(raw.supportsCharacter(c))
                << text.toStdString() << ": U+" << std::hex << static_cast<unsigned>(c);
            EXPECT_TRUE(metrics.inFontUcs4(c));
        }
    }
}

TEST(MainWindowTest, TabOrderRunsSelectorAccountPasswordIntervalSwitchPause) {
    auto form = NewForm();
    const std::vector<QWidget*> expected = {form->edtDialer,  form->edtDialUser,
                                            form->edtDialPWD, form->edtDialTime,
                                            form->CheckBox1,  form->edtDialWaintTime};
    std::vector<QWidget*> chain;
    for (QWidget* w = form->RzPageControl1->nextInFocusChain(); w != form->RzPageControl1;
         w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus && w->parentWidget() == form->Panel5)
            chain.push_back(w);
    EXPECT_EQ(chain, expected);

    // And with the Tab key, through the shown settings page.
    form->RzPageControl1->SetActivePage(form->TabSheet1);
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->edtDialer->setFocus(Qt::TabFocusReason);
    for (size_t i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), expected[i]) << i;
    }
}

// The number fields.
class SpinEditTest : public ::testing::Test {
protected:
    std::unique_ptr<TDialUpFrm> Form = NewForm();
    TSpinEdit* Edit = Form->edtDialTime;

    void SetUp() override {
        Form->RzPageControl1->SetActivePage(Form->TabSheet1);
        Form->show();
        QApplication::setActiveWindow(Form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
        Edit->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(Edit->hasFocus());
    }
};

struct TypingCase {
    QString Before;
    QList<QPair<Qt::Key, QString>> Keys;
    QString After;
    const char* Name;
};

void PrintTo(const TypingCase& c, std::ostream* os) {
    *os << c.Name;
}

class SpinEditTypingTest : public SpinEditTest, public ::testing::WithParamInterface<TypingCase> {};

TEST_P(SpinEditTypingTest, KeepsOnlyWhatMayMakeANumber) {
    Edit->setText(GetParam().Before);
    Edit->end(false);
    for (const auto& [key, text] : GetParam().Keys)
        QTest::sendKeyEvent(QTest::Click, Edit, key, text, Qt::NoModifier);
    EXPECT_EQ(Edit->text(), GetParam().After);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, SpinEditTypingTest,
    ::testing::Values(
        TypingCase{"", {{Qt::Key_1, "1"}, {Qt::Key_2, "2"}, {Qt::Key_0, "0"}}, "120", "digits"},
        TypingCase{"",
                   {{Qt::Key_Plus, "+"}, {Qt::Key_Minus, "-"}, {Qt::Key_Period, "."}},
                   "+-.",
                   "sign_and_decimal_separator"},
        TypingCase{"1",
                   {{Qt::Key_A, "a"}, {Qt::Key_X, "x"}, {Qt::Key_Dollar, "$"}},
                   "1",
                   "letters_dropped"},
        TypingCase{"1", {{Qt::Key_Space, " "}}, "1", "blank_dropped"},
        TypingCase{"1", {{Qt::Key_Return, "\r"}, {Qt::Key_Enter, "\r"}}, "1", "enter_dropped"},
        TypingCase{"12", {{Qt::Key_Backspace, "\b"}}, "1", "backspace_edits"},
        TypingCase{"12", {{Qt::Key_Home, ""}, {Qt::Key_Delete, "\x7f"}}, "2", "delete_edits"},
        TypingCase{"", {{Qt::Key_3, QStringLiteral("３")}}, "", "full_width_digit_dropped"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(SpinEditTest, PastedTextIsNotFiltered) {
    Edit->clear();
    QApplication::clipboard()->setText(QStringLiteral("12 abc"));
    QTest::keyClick(Edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Edit->text(), QStringLiteral("12 abc"));
    EXPECT_EQ(Edit->Value(), 0);
}

struct StepCase {
    QString Before;
    bool Up;
    QString After;
    const char* Name;
};

void PrintTo(const StepCase& c, std::ostream* os) {
    *os << c.Name;
}

class SpinEditStepTest : public SpinEditTest, public ::testing::WithParamInterface<StepCase> {};

TEST_P(SpinEditStepTest, ArrowKeysAndButtonsStepTheValueWithinTheRange) {
    const StepCase& c = GetParam();
    Edit->setText(c.Before);
    QTest::keyClick(Edit, c.Up ? Qt::Key_Up : Qt::Key_Down);
    EXPECT_EQ(Edit->text(), c.After);
    Edit->setText(c.Before);
    QToolButton* button = c.Up ? Edit->Button()->UpButton() : Edit->Button()->DownButton();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(Edit->text(), c.After);
    EXPECT_TRUE(Edit->hasFocus());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SpinEditStepTest,
    ::testing::Values(StepCase{"5", true, "6", "up"}, StepCase{"5", false, "4", "down"},
                      StepCase{"0", false, "0", "down_at_minimum"},
                      StepCase{"10000000", true, "10000000", "up_at_maximum"},
                      StepCase{"-5", true, "0", "negative_up_to_minimum"},
                      StepCase{"20000000", false, "10000000", "above_range_down_to_maximum"},
                      StepCase{"abc", true, "1", "not_a_number_counts_as_zero"},
                      StepCase{"$10", true, "17", "hexadecimal"},
                      StepCase{"2147483647", true, "10000000", "largest_number_does_not_wrap"}),
    [](const auto& Info) { return std::string(Info.param.Name); });

struct LeaveCase {
    QString Before;
    QString After;
    const char* Name;
};

void PrintTo(const LeaveCase& c, std::ostream* os) {
    *os << c.Name;
}

class SpinEditLeaveTest : public SpinEditTest, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(SpinEditLeaveTest, LeavingTheFieldLimitsANumberAndKeepsOtherText) {
    Edit->setText(GetParam().Before);
    QTest::keyClick(Edit, Qt::Key_Tab);
    ASSERT_FALSE(Edit->hasFocus());
    EXPECT_EQ(Edit->text(), GetParam().After);
}

INSTANTIATE_TEST_SUITE_P(Texts, SpinEditLeaveTest,
                         ::testing::Values(LeaveCase{"20000000", "10000000", "above_maximum"},
                                           LeaveCase{"-3", "0", "below_minimum"},
                                           LeaveCase{"$FFFFFFFF", "0", "hexadecimal_minus_one"},
                                           LeaveCase{"abc", "abc", "not_a_number_kept"},
                                           LeaveCase{"", "", "empty_kept"},
                                           LeaveCase{" 180", " 180", "number_in_range_kept"},
                                           LeaveCase{"180 ", "180 ", "trailing_blank_kept"}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(SpinEditValueTest, TheValueIsTheNumberRuleOfTheText) {
    TSpinEdit edit(nullptr);
    edit.SetMaxValue(10000000);
    const std::pair<const char*, std::int32_t> cases[] = {
        {"180", 180},           {" 7", 7}, {"-7", -7}, {"$10", 16}, {"0x1F", 31},
        {"20000000", 20000000}, {"7 ", 0}, {"", 0},    {"1.5", 0},  {"abc", 0}};
    for (const auto& [text, value] : cases) {
        edit.setText(QString::fromLatin1(text));
        EXPECT_EQ(edit.Value(), value) << text;
    }
}

// The switch, the timer and the seconds display.
class SwitchTest : public ::testing::Test {
protected:
    std::unique_ptr<TDialUpFrm> Form = NewForm();
    TUrlCatcher Browser;
    ras::SimulatedRas Service;

    void SetUp() override {
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &Browser, "Open");
        RedialPending = false;
        CurrentConnection = 0;
        SetRasService(&Service);
    }
    void TearDown() override {
        Service.WaitIdle();
        SetRasService(nullptr);
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    }

    void ChooseEntry(const QString& Name) {
        Service.AddEntry(Name.toStdString());
        Form->edtDialer->addItem(Name);
        Form->edtDialer->setCurrentIndex(Form->edtDialer->count() - 1);
    }
    void Ticks(int Count) {
        for (int i = 0; i < Count; ++i)
            Form->Timer1Timer();
    }
};

TEST_F(SwitchTest, DisplayIsEmptyAndTimerStoppedUntilTheSwitchChanges) {
    EXPECT_TRUE(Form->Label1->text().isEmpty());
    EXPECT_FALSE(Form->Timer1->isActive());
}

TEST_F(SwitchTest, SwitchStartsAndStopsTheTimerAndShowsZero) {
    RedialPending = true;
    Form->CheckBox1->click();
    EXPECT_TRUE(Form->Timer1->isActive());
    EXPECT_EQ(Form->Label1->text(), QStringLiteral("0"));
    EXPECT_FALSE(RedialPending.load());
    Ticks(3);
    EXPECT_EQ(Form->Label1->text(), QStringLiteral("3"));
    EXPECT_EQ(Form->Engine().ElapsedSeconds(), 3);
    EXPECT_TRUE(Form->Timer1->isActive());

    Form->CheckBox1->click();
    EXPECT_FALSE(Form->Timer1->isActive());
    EXPECT_EQ(Form->Label1->text(), QStringLiteral("0"));
    EXPECT_EQ(Form->Engine().ElapsedSeconds(), 0);
    // Assigning the box, as the settings do, counts as a click too.
    Form->SetStart(true);
    EXPECT_TRUE(Form->Timer1->isActive());
}

TEST_F(SwitchTest, TheTimerTicksTheDisplayOnceASecond) {
    Form->CheckBox1->click();
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return Form->Label1->text() == QStringLiteral("2"); }, 10000));
    EXPECT_TRUE(Form->Timer1->isActive());
}

TEST_F(SwitchTest, TheDisplayShowsTheCountWithTheLookupTablesUnit) {
    ASSERT_NE(Language, nullptr);
    Form->CheckBox1->click();
    Ticks(2);
    EXPECT_EQ(Form->Label1->text(), QStringLiteral("2"));
    Language->AddText("Sec", "秒");
    Ticks(1);
    EXPECT_EQ(Form->Label1->text(), QStringLiteral("3秒"));
    Language->AddText("Sec", "");
}

TEST_F(SwitchTest, TheSixtiethTickOpensTheProductSiteOncePerSwitching) {
    Form->CheckBox1->click();
    Ticks(59);
    EXPECT_TRUE(Browser.Urls.isEmpty());
    Ticks(1);
    EXPECT_EQ(Browser.Urls, QList<QUrl>{Site});
    Ticks(70);
    EXPECT_EQ(Browser.Urls.size(), 1);
    Form->CheckBox1->click();
    Form->CheckBox1->click();
    Ticks(60);
    EXPECT_EQ(Browser.Urls.size(), 2);
}

TEST_F(SwitchTest, ThePromotionalTextOpensTheProductSite) {
    Form->RzPageControl1->SetActivePage(Form->TabSheet1);
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    QTest::mouseClick(Form->Label4, Qt::LeftButton);
    EXPECT_EQ(Browser.Urls, QList<QUrl>{Site});
}

TEST_F(SwitchTest, TheCycleDialsWithWhatTheControlsHold) {
    ChooseEntry(QStringLiteral("宽带连接"));
    Form->edtDialUser->setText(QStringLiteral("user@isp"));
    Form->edtDialPWD->setText(QStringLiteral("secret"));
    Form->edtDialTime->setText(QStringLiteral("3"));
    Form->edtDialWaintTime->setText(QStringLiteral("0"));
    Form->CheckBox1->click();
    Ticks(4); // not connected: the cycle starts without a hang-up
    EXPECT_TRUE(RedialPending.load());
    EXPECT_EQ(Form->Label1->text(), QStringLiteral("0"));
    Ticks(1);
    Service.WaitIdle();
    ASSERT_TRUE(Service.LastDial().has_value());
    EXPECT_EQ(Service.LastDial()->szEntryName, "宽带连接");
    EXPECT_EQ(Service.LastDial()->szUserName, "user@isp");
    EXPECT_EQ(Service.LastDial()->szPassword, "secret");
}

// The hang-up is followed by five seconds of waiting in which the window keeps serving its
// events: a click on the switch made during the wait takes effect inside the tick.
TEST_F(SwitchTest, TheWindowServesItsEventsDuringTheHangUpWait) {
    ChooseEntry(QStringLiteral("ADSL"));
    Service.Connect("ADSL");
    Form->edtDialTime->setText(QStringLiteral("3"));
    Form->CheckBox1->click();
    Ticks(3);
    bool insideTick = false;
    bool clickedInside = false;
    QTimer::singleShot(300, Form.get(), [&] {
        clickedInside = insideTick;
        Form->CheckBox1->click();
    });
    insideTick = true;
    Form->Timer1Timer();
    insideTick = false;
    EXPECT_TRUE(clickedInside);
    EXPECT_EQ(Service.GetCounters().HangUps, 1u);
    EXPECT_FALSE(Form->CheckBox1->isChecked());
    EXPECT_FALSE(Form->Timer1->isActive());
    EXPECT_FALSE(RedialPending.load());
    EXPECT_EQ(Form->Label1->text(), QStringLiteral("0"));
}

// Timer1's schedule on a clock the test moves. A tick stops the timer and enables it again at
// its end; the timer's expiry is what the test raises, so nothing waits on the real clock.
struct ScheduleTick {
    int EndedAfterDue; // ms from when the tick was due to its end: its handler's lateness + work
    int Armed;         // ms armed at its end
};

struct ScheduleCase {
    const char* Name;
    std::vector<ScheduleTick> Ticks;
};

void PrintTo(const ScheduleCase& c, std::ostream* os) {
    *os << c.Name;
}

class TimerScheduleTest : public ::testing::Test {
protected:
    std::chrono::steady_clock::time_point Now{std::chrono::hours(1)};
    std::unique_ptr<TDialUpFrm> Form;
    ras::SimulatedRas Service;

    void SetUp() override {
        RedialPending = false;
        CurrentConnection = 0;
        SetRasService(&Service);
        auto options = TestOptions(Site);
        options.Clock = [this] { return Now; };
        Form = std::make_unique<TDialUpFrm>(options);
    }
    void TearDown() override {
        Form.reset();
        Service.WaitIdle();
        SetRasService(nullptr);
    }

    // Timer1 expires and its handler runs the tick.
    void Expire() { ASSERT_TRUE(QMetaObject::invokeMethod(Form->Timer1, "timeout")); }
};

class TimerScheduleCaseTest : public TimerScheduleTest,
                              public ::testing::WithParamInterface<ScheduleCase> {};

TEST_P(TimerScheduleCaseTest, ATickWithinItsSecondKeepsTheScheduleALongerOneRestartsIt) {
    Form->CheckBox1->click();
    ASSERT_TRUE(Form->Timer1->isActive());
    ASSERT_EQ(Form->Timer1->interval(), 1000);
    auto due = Now + std::chrono::milliseconds(1000);
    for (const ScheduleTick& tick : GetParam().Ticks) {
        Now = due + std::chrono::milliseconds(tick.EndedAfterDue);
        Expire();
        EXPECT_TRUE(Form->Timer1->isActive());
        EXPECT_EQ(Form->Timer1->interval(), tick.Armed)
            << "tick ending " << tick.EndedAfterDue << " ms after it was due";
        due = Now + std::chrono::milliseconds(Form->Timer1->interval());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ticks, TimerScheduleCaseTest,
    ::testing::Values(
        ScheduleCase{"OnTime", {{0, 1000}, {0, 1000}}},
        // Late handlers do not add up: each tick is armed for what is left of its second.
        ScheduleCase{"CountingTicksLate", {{3, 997}, {2, 998}, {0, 1000}}},
        ScheduleCase{"EndingInItsLastMillisecond", {{999, 1}, {0, 1000}}},
        ScheduleCase{"TakingItsWholeSecond", {{1000, 1000}, {2, 998}}},
        // A hang-up and its waits: the next tick comes a full second after the tick ended.
        ScheduleCase{"HangUpAndPause", {{5300, 1000}, {3, 997}}}),
    [](const ::testing::TestParamInfo<ScheduleCase>& info) { return info.param.Name; });

// A tick called other than by the timer's expiry has no second of its own to keep.
TEST_F(TimerScheduleTest, ATickNotStartedByTheTimerArmsAFullSecond) {
    Form->CheckBox1->click();
    Now += std::chrono::milliseconds(1300);
    Form->Timer1Timer();
    EXPECT_EQ(Form->Timer1->interval(), 1000);
    Now += std::chrono::milliseconds(200);
    Form->Timer1Timer();
    EXPECT_EQ(Form->Timer1->interval(), 1000);
}

// Turned on during a tick's pause, the switch arms a full second from the click, not the rest
// of the tick's second.
TEST_F(TimerScheduleTest, TheSwitchClickedDuringATicksWaitArmsAFullSecond) {
    Service.AddEntry("ADSL");
    Form->edtDialer->addItem(QStringLiteral("ADSL"));
    Form->edtDialer->setCurrentIndex(Form->edtDialer->count() - 1);
    Form->edtDialTime->setText(QStringLiteral("3"));
    Form->edtDialWaintTime->setText(QStringLiteral("1"));
    Form->CheckBox1->click();
    RedialPending = true; // a cycle is on: the next tick pauses, then dials
    std::optional<int> armedByClick;
    QTimer::singleShot(0, Form.get(), [&] {
        Now += std::chrono::milliseconds(300);
        Form->CheckBox1->click();
        Form->CheckBox1->click();
        armedByClick = Form->Timer1->interval();
    });
    Now += std::chrono::milliseconds(1000);
    Expire();
    ASSERT_TRUE(armedByClick.has_value());
    EXPECT_EQ(*armedByClick, 1000);
    EXPECT_TRUE(Form->Timer1->isActive());
}

} // namespace

#include "MainWindowTest.moc"
