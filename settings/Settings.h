#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// The six values of the settings tab, as dialup.ini reads and writes them. The window
// implements this over its controls; tests use TSettingsValues.
class ISettingsControls {
public:
    virtual ~ISettingsControls() = default;

    virtual int DialerItemCount() const = 0;
    virtual int DialerItemIndex() const = 0; // -1 when nothing is selected
    virtual void SetDialerItemIndex(int Index) = 0;

    virtual std::string DialUser() const = 0;
    virtual void SetDialUser(const std::string& Text) = 0;
    virtual std::string DialPwd() const = 0;
    virtual void SetDialPwd(const std::string& Text) = 0;
    virtual std::string DialTimeText() const = 0;
    virtual void SetDialTimeText(const std::string& Text) = 0;
    virtual std::string DialWaintTimeText() const = 0;
    virtual void SetDialWaintTimeText(const std::string& Text) = 0;

    virtual bool Start() const = 0;
    // Assigning a different state counts as a click on the switch.
    virtual void SetStart(bool Checked) = 0;
};

// The six values as plain fields, starting at the window's design values. Changing Checked
// through SetStart calls OnStartChanged, as a click on the switch would.
struct TSettingsValues final : ISettingsControls {
    int ItemCount = 0;
    int ItemIndex = -1; // stored as given
    std::string User;
    std::string Pwd;
    std::string Time = "0";
    std::string WaintTime = "5";
    bool Checked = false;
    std::function<void()> OnStartChanged;

    int DialerItemCount() const override { return ItemCount; }
    int DialerItemIndex() const override { return ItemIndex; }
    void SetDialerItemIndex(int Index) override { ItemIndex = Index; }
    std::string DialUser() const override { return User; }
    void SetDialUser(const std::string& Text) override { User = Text; }
    std::string DialPwd() const override { return Pwd; }
    void SetDialPwd(const std::string& Text) override { Pwd = Text; }
    std::string DialTimeText() const override { return Time; }
    void SetDialTimeText(const std::string& Text) override { Time = Text; }
    std::string DialWaintTimeText() const override { return WaintTime; }
    void SetDialWaintTimeText(const std::string& Text) override { WaintTime = Text; }
    bool Start() const override { return Checked; }
    void SetStart(bool Value) override {
        if (Checked == Value)
            return;
        Checked = Value;
        if (OnStartChanged)
            OnStartChanged();
    }
};

// The folder of the running executable plus "dialup.ini".
std::string SettingsFilePath();

// Reads the file into the controls; every failure is dropped. A file that exists but cannot
// be read (not a regular file, or larger than MaxSettingsFileSize) counts as an empty one.
void LoadSettings(ISettingsControls& Controls, const std::string& Path);
// Applies a file's text (its bytes, as read) to the controls.
void ApplySettingsText(ISettingsControls& Controls, std::string_view Text);
// Writes the controls to the file, replacing it whole; every failure is dropped.
// Returns whether the file now holds the new contents.
bool SaveSettings(const ISettingsControls& Controls, const std::string& Path);

// The file a save writes first, in the same folder, before renaming it over Path.
std::string SettingsTempPath(const std::string& Path);

// The file holds six short lines; anything larger is damaged, and is refused rather than
// read into memory.
inline constexpr std::size_t MaxSettingsFileSize = 1024 * 1024;
