// The window's creation and destruction with the settings file and the phonebook: what the
// program does on its way in and out, in process.

#include "ConnectionControl.h"
#include "DialUpUnit.h"
#include "Forms.h"
#include "SimulatedRas.h"
#include "TestForms.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTimer>

#include <memory>
#include <optional>

namespace {

const QUrl Site(QStringLiteral("http://127.0.0.1:9/"));

class StartupTest : public ::testing::Test {
protected:
    ras::SimulatedRas Service;
    QString Path = TestSettingsPath();

    void SetUp() override {
        TApplication::ResetTerminated();
        RedialPending = false;
        SetRasService(&Service);
    }
    void TearDown() override {
        Service.WaitIdle();
        SetRasService(nullptr);
    }

    void WriteSettings(const QByteArray& Text) {
        QFile file(Path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Text);
    }
    QByteArray ReadSettings() const {
        QFile file(Path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    std::unique_ptr<TDialUpFrm> NewForm() {
        return std::make_unique<TDialUpFrm>(TestOptions(Site, Path));
    }
};

TEST_F(StartupTest, TheSelectorHoldsThePhonebookAndTheSavedSelection) {
    Service.AddEntry("宽带连接");
    Service.AddEntry("ADSL");
    Service.AddEntry("Mobile");
    WriteSettings("dialertext=1\r\ndialuser=user@isp\r\ndialpwd=secret\r\ndialtime=180\r\n"
                  "dialwainttime=7\r\nstart=0\r\n");
    auto form = NewForm();
    ASSERT_EQ(form->edtDialer->count(), 3);
    EXPECT_EQ(form->edtDialer->itemText(0), QStringLiteral("宽带连接"));
    EXPECT_EQ(form->edtDialer->itemText(2), QStringLiteral("Mobile"));
    EXPECT_EQ(form->edtDialer->currentText(), QStringLiteral("ADSL"));
    EXPECT_EQ(form->edtDialUser->text(), QStringLiteral("user@isp"));
    EXPECT_EQ(form->edtDialPWD->text(), QStringLiteral("secret"));
    EXPECT_EQ(form->edtDialTime->text(), QStringLiteral("180"));
    EXPECT_EQ(form->edtDialWaintTime->text(), QStringLiteral("7"));
    EXPECT_FALSE(form->CheckBox1->isChecked());
    // Nothing started: the display stays empty.
    EXPECT_TRUE(form->Label1->text().isEmpty());
    EXPECT_FALSE(form->Timer1->isActive());
}

TEST_F(StartupTest, AnEmptyPhonebookLeavesTheSelectorEmpty) {
    WriteSettings("dialertext=0\r\n");
    auto form = NewForm();
    EXPECT_EQ(form->edtDialer->count(), 0);
    EXPECT_EQ(form->edtDialer->currentIndex(), -1);
    EXPECT_EQ(form->EntryName(), "");
}

TEST_F(StartupTest, NoFileLeavesTheDesignValues) {
    auto form = NewForm();
    EXPECT_EQ(form->edtDialer->currentIndex(), -1);
    EXPECT_TRUE(form->edtDialUser->text().isEmpty());
    EXPECT_EQ(form->edtDialTime->text(), QStringLiteral("0"));
    EXPECT_EQ(form->edtDialWaintTime->text(), QStringLiteral("5"));
    EXPECT_FALSE(form->CheckBox1->isChecked());
    EXPECT_FALSE(QFile::exists(Path));
}

TEST_F(StartupTest, ASavedSwitchStartsTheCycleAndRewritesTheFileDuringCreation) {
    WriteSettings("START=1\r\nDialUser=abc\r\nextra=line\r\n");
    auto form = NewForm();
    EXPECT_TRUE(form->CheckBox1->isChecked());
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(form->Label1->text(), QStringLiteral("0"));
    EXPECT_EQ(form->Engine().TickCount(), 0);
    const QByteArray saved = ReadSettings();
    EXPECT_TRUE(saved.contains("dialuser=abc\r\n"));
    EXPECT_TRUE(saved.contains("start=1\r\n"));
    EXPECT_FALSE(saved.contains("extra"));
}

TEST_F(StartupTest, TheSwitchSavesTheSettings) {
    auto form = NewForm();
    form->edtDialUser->setText(QStringLiteral("typed"));
    form->CheckBox1->click();
    EXPECT_TRUE(ReadSettings().contains("dialuser=typed\r\n"));
    EXPECT_TRUE(ReadSettings().contains("start=1\r\n"));
}

TEST_F(StartupTest, DestroyingTheWindowRemovesTheIconAndSavesTheSettings) {
    auto form = NewForm();
    form->AddTrayIcon();
    TDialUpFrm* window = form.get();
    ASSERT_NE(FindNotifyIcon(window, TDialUpFrm::IconID), nullptr);
    form->edtDialUser->setText(QStringLiteral("edited"));
    form->edtDialTime->setText(QStringLiteral("300"));
    form.reset();
    EXPECT_EQ(FindNotifyIcon(window, TDialUpFrm::IconID), nullptr);
    const QByteArray saved = ReadSettings();
    EXPECT_TRUE(saved.contains("dialuser=edited\r\n"));
    EXPECT_TRUE(saved.contains("dialtime=300\r\n"));
    EXPECT_TRUE(saved.contains("start=0\r\n"));
}

// The platform chosen before the application starts: X11 where it is there, unless the user
// named one.
TEST(PreferX11Test, ChoosesX11OnlyWhenNothingWasChosenAndX11IsThere) {
    struct Case {
        const char* Platform; // nullptr: unset
        const char* Display;
        const char* Expected;
    };
    const Case cases[] = {
        {nullptr, ":0", "xcb"},
        {"wayland", ":0", "wayland"},
        {"offscreen", ":0", "offscreen"},
        {nullptr, nullptr, nullptr},
        {"", nullptr, ""},
    };
    const auto set = [](const char* Name, const char* Value) {
        if (Value)
            qputenv(Name, Value);
        else
            qunsetenv(Name);
    };
    const auto saved = [](const char* Name) -> std::optional<QByteArray> {
        if (!qEnvironmentVariableIsSet(Name))
            return std::nullopt;
        return qgetenv(Name);
    };
    const std::optional<QByteArray> platform = saved("QT_QPA_PLATFORM");
    const std::optional<QByteArray> display = saved("DISPLAY");
    for (const Case& c : cases) {
        set("QT_QPA_PLATFORM", c.Platform);
        set("DISPLAY", c.Display);
        TApplication::PreferX11();
        EXPECT_EQ(qEnvironmentVariableIsSet("QT_QPA_PLATFORM"), c.Expected != nullptr)
            << (c.Platform ? c.Platform : "(unset)") << " " << (c.Display ? c.Display : "");
        if (c.Expected) {
            EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), QByteArray(c.Expected));
        }
    }
    set("QT_QPA_PLATFORM", platform ? platform->constData() : nullptr);
    set("DISPLAY", display ? display->constData() : nullptr);
}

} // namespace
