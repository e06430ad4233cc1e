#include "Dialer.h"

#include "TextLines.h"

#include <algorithm>
#include <string_view>

namespace {

// A phonebook that keeps growing between requests, or a service that miscounts, ends the
// enumeration as a failure instead of asking forever.
constexpr int MaxRequests = 4;
constexpr std::uint32_t MaxRecords = 1u << 16;

} // namespace

bool TDialer::EnumEntries() {
    // Never shorter than the names a failed enumeration keeps.
    FEntries.resize(std::max<std::size_t>(MinEntriesLength, static_cast<std::size_t>(FEntryCount)));
    std::vector<ras::RasEntryName> buffer;
    std::uint32_t needed = InitialRecords;
    std::uint32_t count = 0;
    ras::RasError result = ras::ERROR_BUFFER_TOO_SMALL;
    for (int request = 0; request < MaxRequests && result == ras::ERROR_BUFFER_TOO_SMALL;
         ++request) {
        buffer.assign(needed, ras::RasEntryName{});
        count = 0;
        result = FService.EnumEntries(buffer, count);
        if (result == ras::ERROR_BUFFER_TOO_SMALL) {
            if (count > MaxRecords)
                break;
            needed = std::max(count, needed + 1);
        }
    }
    if (result == ras::SUCCESS && count > buffer.size())
        result = ras::ERROR_BUFFER_TOO_SMALL;
    if (result != ras::SUCCESS) {
        std::string text;
        FService.GetErrorString(result, text);
        return false;
    }
    FEntryCount = static_cast<std::int32_t>(count);
    if (FEntries.size() < count)
        FEntries.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::string& name = buffer[i].szEntryName;
        FEntries[i] = name.substr(0, name.find('\0'));
    }
    return true;
}

std::string TDialer::EntriesText() {
    EnumEntries();
    std::string text;
    for (std::int32_t i = 0; i < FEntryCount; ++i)
        text.append(FEntries[static_cast<std::size_t>(i)]).append(",");
    return text;
}

std::vector<std::string> DialerItems(ras::IRasService& Service) {
    TDialer dialer(Service);
    dialer.EnumEntries();
    // The names joined by line breaks, then split as a string list does: what joining with
    // commas and turning every comma into a line break gives, except that a comma within a
    // name no longer splits it.
    std::string text;
    for (std::int32_t i = 0; i < dialer.EntryCount(); ++i) {
        if (i > 0)
            text.append("\r\n");
        text.append(dialer.Entries()[static_cast<std::size_t>(i)]);
    }
    const std::vector<std::string_view> lines = SplitTextLines(text);
    return std::vector<std::string>(lines.begin(), lines.end());
}
