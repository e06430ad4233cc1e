#include "LangUnit.h"

#include <gtest/gtest.h>

namespace {

TEST(TeLanguageTest, EmptyTableGivesEmptyTextForEveryKey) {
    TeLanguage table;
    std::string result = "stale";
    for (const char* key : {"Sec", "sec", "", "未知"}) {
        table.Translate(key, result);
        EXPECT_EQ(result, "") << key;
    }
}

TEST(TeLanguageTest, KeysDifferingOnlyInCaseFindTheSameText) {
    TeLanguage table;
    // Enough keys, added out of order, for the binary search to matter.
    for (const char* key : {"Zeta", "alpha", "Sec", "min", "Hour", "beta", "Day"})
        table.AddText(key, std::string("text of ") + key);
    for (const char* key : {"Sec", "SEC", "sec", "sEc"})
        EXPECT_EQ(table.Translate(key), "text of Sec") << key;
    EXPECT_EQ(table.Translate("ALPHA"), "text of alpha");
    EXPECT_EQ(table.Translate("zeta"), "text of Zeta");
    EXPECT_EQ(table.Translate("Se"), "");
    EXPECT_EQ(table.Translate("Secs"), "");
    table.AddText("SEC", "replaced");
    EXPECT_EQ(table.Translate("sec"), "replaced");
}

TEST(TeLanguageTest, UnitCreatesTheTableForItsLifetime) {
    ASSERT_EQ(Language, nullptr);
    {
        LanguageUnit unit;
        ASSERT_NE(Language, nullptr);
        EXPECT_EQ(Language->Translate("Sec"), "");
    }
    EXPECT_EQ(Language, nullptr);
}

} // namespace
