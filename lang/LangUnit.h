#pragma once

#include <string>
#include <vector>

// Maps text keys to display texts; keys are matched without regard to letter case.
class TeLanguage {
public:
    TeLanguage() = default;

    // Gives the text for Key in Result, or the empty string when the key is unknown.
    void Translate(const std::string& Key, std::string& Result) const;
    std::string Translate(const std::string& Key) const;

    // Adds or replaces the text of Key.
    void AddText(const std::string& Key, const std::string& Text);

private:
    struct KeyEntry {
        std::string Key;
        int TextIndex;
    };
    std::vector<KeyEntry> FKeys; // kept sorted, case-insensitively
    std::vector<std::string> FTexts;
};

// The program's one table; created by LanguageUnit before the window and freed after it.
extern TeLanguage* Language;

// Creates Language for its lifetime (the unit's initialisation and finalisation).
class LanguageUnit {
public:
    LanguageUnit();
    ~LanguageUnit();
    LanguageUnit(const LanguageUnit&) = delete;
    LanguageUnit& operator=(const LanguageUnit&) = delete;

private:
    TeLanguage* FPrevious;
};
