// Any text through the number rule: no crash, and a converted value reads back the same from
// its plain decimal form.
#include "NumberRule.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const std::string_view text(reinterpret_cast<const char*>(Data), Size);
    std::int32_t value = 0;
    const bool converts = TextToInt32(text, value);
    if (SpinEditValue(text) != (converts ? value : 0))
        std::abort();
    if (converts) {
        std::int32_t again = 1;
        if (!TextToInt32(std::to_string(value), again) || again != value)
            std::abort();
        if (!TextToInt32("  " + std::to_string(value), again) || again != value)
            std::abort();
        // Trailing junk never converts, unless a zero byte has already ended the text.
        if (text.find('\0') == std::string_view::npos &&
            TextToInt32(std::string(text) + "z", again))
            std::abort();
    }
    return 0;
}
