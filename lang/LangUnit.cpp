#include "LangUnit.h"

#include <algorithm>

TeLanguage* Language = nullptr;

namespace {

unsigned char Fold(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

int CompareText(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char ca = Fold(static_cast<unsigned char>(a[i]));
        const unsigned char cb = Fold(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace

void TeLanguage::Translate(const std::string& Key, std::string& Result) const {
    Result.clear();
    try {
        auto it = std::lower_bound(
            FKeys.begin(), FKeys.end(), Key,
            [](const KeyEntry& e, const std::string& k) { return CompareText(e.Key, k) < 0; });
        if (it == FKeys.end() || CompareText(it->Key, Key) != 0)
            return;
        if (it->TextIndex >= 0 && static_cast<size_t>(it->TextIndex) < FTexts.size())
            Result = FTexts[static_cast<size_t>(it->TextIndex)];
    } catch (...) {
        // A failed lookup reads as an empty text.
        Result.clear();
    }
}

std::string TeLanguage::Translate(const std::string& Key) const {
    std::string result;
    Translate(Key, result);
    return result;
}

void TeLanguage::AddText(const std::string& Key, const std::string& Text) {
    auto it = std::lower_bound(
        FKeys.begin(), FKeys.end(), Key,
        [](const KeyEntry& e, const std::string& k) { return CompareText(e.Key, k) < 0; });
    if (it != FKeys.end() && CompareText(it->Key, Key) == 0) {
        FTexts[static_cast<size_t>(it->TextIndex)] = Text;
        return;
    }
    FTexts.push_back(Text);
    FKeys.insert(it, KeyEntry{Key, static_cast<int>(FTexts.size() - 1)});
}

LanguageUnit::LanguageUnit() : FPrevious(Language) {
    Language = new TeLanguage();
}

LanguageUnit::~LanguageUnit() {
    delete Language;
    Language = FPrevious;
}
