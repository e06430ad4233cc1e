#include "Dialer.h"
#include "SimulatedRas.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <ostream>
#include <span>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

// A phonebook that answers enumerations like the service does, or as a test script says.
class FakePhonebook final : public ras::IRasService {
public:
    Names Entries;
    ras::RasError Failure = ras::SUCCESS;
    // Called before each enumeration with its number (0 first), to change the phonebook.
    std::function<void(int)> BeforeEnum;
    int EnumCalls = 0;

    ras::RasError EnumEntries(std::span<ras::RasEntryName> Buffer, std::uint32_t& Count) override {
        if (BeforeEnum)
            BeforeEnum(EnumCalls);
        ++EnumCalls;
        if (Failure != ras::SUCCESS)
            return Failure;
        Count = static_cast<std::uint32_t>(Entries.size());
        if (Entries.size() > Buffer.size())
            return ras::ERROR_BUFFER_TOO_SMALL;
        for (std::size_t i = 0; i < Entries.size(); ++i)
            Buffer[i].szEntryName = Entries[i];
        return ras::SUCCESS;
    }
    ras::RasError EnumConnections(std::span<ras::RasConnection>, std::uint32_t& Count) override {
        Count = 0;
        return ras::SUCCESS;
    }
    ras::RasError Dial(const ras::RasDialParams&, ras::RasDialFunc,
                       std::atomic<ras::HRASCONN>& Connection) override {
        Connection = 0;
        return ras::ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    }
    ras::RasError HangUp(ras::HRASCONN) override { return ras::ERROR_INVALID_HANDLE; }
    ras::RasError GetErrorString(ras::RasError Code, std::string& Text) override {
        Text = ras::ErrorText(Code);
        return ras::SUCCESS;
    }
};

void PrintNames(const Names& names, std::ostream* os) {
    *os << '[';
    for (std::size_t i = 0; i < names.size(); ++i) {
        *os << (i ? ", " : "") << '"';
        for (const char c : names[i]) {
            if (c == '\r')
                *os << "\\r";
            else if (c == '\n')
                *os << "\\n";
            else if (c == '\t')
                *os << "\\t";
            else
                *os << c;
        }
        *os << '"';
    }
    *os << ']';
}

Names Numbered(int n) {
    Names names;
    for (int i = 1; i <= n; ++i)
        names.push_back("Entry " + std::to_string(i));
    return names;
}

struct ItemsCase {
    std::string What;
    Names Entries;
    Names Items;
};

void PrintTo(const ItemsCase& c, std::ostream* os) {
    *os << c.What;
}

class PhonebookItemsTest : public ::testing::TestWithParam<ItemsCase> {};

TEST_P(PhonebookItemsTest, GiveTheSelectorsItems) {
    FakePhonebook book;
    book.Entries = GetParam().Entries;
    EXPECT_EQ(DialerItems(book), GetParam().Items);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PhonebookItemsTest,
    ::testing::Values(
        ItemsCase{"three in order", {"ADSL", "Modem", "Mobile"}, {"ADSL", "Modem", "Mobile"}},
        ItemsCase{
            "no sorting or removal of duplicates", {"b", "A", "b", "B"}, {"b", "A", "b", "B"}},
        ItemsCase{
            "blanks kept", {" ADSL ", "\tModem", "Mobile  "}, {" ADSL ", "\tModem", "Mobile  "}},
        ItemsCase{"a comma inside a name", {"Home, DSL", "Work"}, {"Home, DSL", "Work"}},
        ItemsCase{"commas alone", {",", ",,", "x,"}, {",", ",,", "x,"}},
        ItemsCase{"8-bit names kept as bytes",
                  {"\xBF\xED\xB4\xF8", "宽带连接"},
                  {"\xBF\xED\xB4\xF8", "宽带连接"}},
        ItemsCase{"empty phonebook", {}, {}},
        ItemsCase{"an empty name in the middle", {"A", "", "B"}, {"A", "", "B"}},
        // The last separator is dropped, and a break at the very end gives no line.
        ItemsCase{"an empty name last", {"A", ""}, {"A"}}, ItemsCase{"one empty name", {""}, {}},
        ItemsCase{"two empty names", {"", ""}, {""}},
        ItemsCase{"line breaks inside names split them",
                  {"A\r\nB", "C\rD", "E\nF"},
                  {"A", "B", "C", "D", "E", "F"}},
        ItemsCase{"a name ending in CR", {"A\r", "B"}, {"A", "", "B"}},
        ItemsCase{"a name starting with LF", {"A", "\nB"}, {"A", "", "B"}},
        ItemsCase{"LF then CR", {"A\n\rB"}, {"A", "", "B"}},
        ItemsCase{"a last name ending in a break", {"A", "B\r\n"}, {"A", "B"}},
        ItemsCase{"sixteen entries", Numbered(16), Numbered(16)},
        ItemsCase{"seventeen entries", Numbered(17), Numbered(17)},
        ItemsCase{"a hundred entries", Numbered(100), Numbered(100)}));

// The items as the comma-joined filling made them: the names joined by commas with one after
// the last, that last comma dropped, every comma turned into CR LF, and the text split as a
// string list splits it.
Names CommaJoinedItems(const Names& entries) {
    std::string text;
    for (const std::string& name : entries)
        text += name + ",";
    if (!text.empty())
        text.pop_back();
    std::string broken;
    for (const char c : text)
        broken += c == ',' ? std::string("\r\n") : std::string(1, c);
    Names items;
    const char* p = broken.c_str();
    while (*p) {
        const char* start = p;
        while (*p && *p != '\r' && *p != '\n')
            ++p;
        items.emplace_back(start, p);
        if (*p == '\r')
            ++p;
        if (*p == '\n')
            ++p;
    }
    return items;
}

// Saved selections are positions, so for names without commas the items must be exactly
// those of the comma-joined filling, quirks included.
TEST(PhonebookItems, WithoutCommasMatchTheCommaJoinedFilling) {
    const Names parts = {"", "A", " ", "\r", "\n", "A\r\n", "\nB", "\r\rC"};
    std::vector<Names> lists = {{}};
    for (int length = 1; length <= 3; ++length) {
        std::vector<Names> longer;
        for (const Names& list : lists)
            if (list.size() == static_cast<std::size_t>(length - 1))
                for (const std::string& part : parts) {
                    Names next = list;
                    next.push_back(part);
                    longer.push_back(next);
                }
        lists.insert(lists.end(), longer.begin(), longer.end());
    }
    for (const Names& list : lists) {
        FakePhonebook book;
        book.Entries = list;
        const Names items = DialerItems(book);
        const Names expected = CommaJoinedItems(list);
        if (items != expected) {
            std::ostringstream names, got, want;
            PrintNames(list, &names);
            PrintNames(items, &got);
            PrintNames(expected, &want);
            ADD_FAILURE() << "entries " << names.str() << " gave " << got.str() << ", want "
                          << want.str();
        }
    }
}

TEST(PhonebookItems, FailingServiceGivesNoItems) {
    ras::SimulatedRas service;
    service.AddEntry("ADSL");
    service.SetEnumFailure(ras::ERROR_RASMAN_CANNOT_INITIALIZE);
    EXPECT_TRUE(DialerItems(service).empty());
}

TEST(PhonebookItems, SimulatedServiceWithMoreThanSixteenEntries) {
    ras::SimulatedRas service;
    for (const std::string& name : Numbered(40))
        service.AddEntry(name);
    EXPECT_EQ(DialerItems(service), Numbered(40));
}

// Each request is told a larger count than the buffer it was given.
TEST(PhonebookItems, PhonebookGrowingBetweenRequestsIsReadWhole) {
    FakePhonebook book;
    book.Entries = Numbered(17);
    book.BeforeEnum = [&](int call) {
        if (call == 1)
            book.Entries = Numbered(30);
    };
    EXPECT_EQ(DialerItems(book), Numbered(30));
}

TEST(PhonebookItems, ServiceThatIsNeverSatisfiedGivesNoItems) {
    FakePhonebook book;
    book.BeforeEnum = [&](int call) { book.Entries = Numbered(20 + 20 * call); };
    EXPECT_TRUE(DialerItems(book).empty());
}

// A service that asks for a larger buffer without saying how large.
class MiscountingPhonebook final : public ras::IRasService {
public:
    std::uint32_t Told;
    explicit MiscountingPhonebook(std::uint32_t told) : Told(told) {}
    ras::RasError EnumEntries(std::span<ras::RasEntryName>, std::uint32_t& Count) override {
        Count = Told;
        return ras::ERROR_BUFFER_TOO_SMALL;
    }
    ras::RasError EnumConnections(std::span<ras::RasConnection>, std::uint32_t&) override {
        return ras::ERROR_INVALID_PARAMETER;
    }
    ras::RasError Dial(const ras::RasDialParams&, ras::RasDialFunc,
                       std::atomic<ras::HRASCONN>&) override {
        return ras::ERROR_INVALID_PARAMETER;
    }
    ras::RasError HangUp(ras::HRASCONN) override { return ras::ERROR_INVALID_HANDLE; }
    ras::RasError GetErrorString(ras::RasError, std::string& Text) override {
        Text.clear();
        return ras::SUCCESS;
    }
};

TEST(PhonebookItems, MiscountingServiceGivesNoItems) {
    for (const std::uint32_t told : {0u, 16u, 0xFFFFFFFFu}) {
        MiscountingPhonebook book(told);
        EXPECT_TRUE(DialerItems(book).empty()) << "told " << told;
    }
}

TEST(Dialer, EntriesTextEndsEveryNameWithAComma) {
    FakePhonebook book;
    book.Entries = {"A", "B", "C"};
    TDialer dialer(book);
    EXPECT_EQ(dialer.EntriesText(), "A,B,C,");
    book.Entries.clear();
    EXPECT_EQ(dialer.EntriesText(), "");
}

TEST(Dialer, FailedEnumerationKeepsTheLastNames) {
    FakePhonebook book;
    TDialer dialer(book);
    book.Failure = ras::ERROR_RASMAN_CANNOT_INITIALIZE;
    EXPECT_FALSE(dialer.EnumEntries());
    EXPECT_EQ(dialer.EntryCount(), 0);
    EXPECT_EQ(dialer.EntriesText(), "");

    // More names than the array's usual twenty, so a failure must not shorten it.
    book.Failure = ras::SUCCESS;
    book.Entries = Numbered(25);
    EXPECT_TRUE(dialer.EnumEntries());
    EXPECT_EQ(dialer.EntryCount(), 25);
    book.Failure = ras::ERROR_RASMAN_CANNOT_INITIALIZE;
    EXPECT_FALSE(dialer.EnumEntries());
    EXPECT_EQ(dialer.EntryCount(), 25);
    std::string all;
    for (const std::string& name : Numbered(25))
        all += name + ",";
    EXPECT_EQ(dialer.EntriesText(), all);
}

} // namespace
