#pragma once

// Reads the names of the phonebook's entries and turns them into the connection selector's
// items.

#include "RasService.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TDialer {
public:
    explicit TDialer(ras::IRasService& Service) : FService(Service) {}

    // Reads the entry names; true on success. On failure the names of the last successful
    // enumeration stay.
    bool EnumEntries();
    // The names of the last successful enumeration, each followed by ",".
    std::string EntriesText();

    const std::vector<std::string>& Entries() const { return FEntries; }
    std::int32_t EntryCount() const { return FEntryCount; }

    // Records of the first request; a larger phonebook is asked again with the size it needs.
    static constexpr std::uint32_t InitialRecords = 16;
    static constexpr std::size_t MinEntriesLength = 20;

private:
    ras::IRasService& FService;
    std::vector<std::string> FEntries;
    std::int32_t FEntryCount = 0;
};

// The selector's items, in the phonebook's order; none when the phonebook is empty or cannot
// be read.
std::vector<std::string> DialerItems(ras::IRasService& Service);
