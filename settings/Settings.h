#pragma once

#include <string>

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

// The folder of the running executable plus "dialup.ini".
std::string SettingsFilePath();

// Reads the file into the controls; every failure is dropped.
void LoadSettings(ISettingsControls& Controls, const std::string& Path);
// Writes the controls to the file, replacing it whole; every failure is dropped.
// Returns whether the file now holds the new contents.
bool SaveSettings(const ISettingsControls& Controls, const std::string& Path);
