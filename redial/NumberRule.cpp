#include "NumberRule.h"

bool TextToInt32(std::string_view Text, std::int32_t& Value) {
    if (const auto nul = Text.find('\0'); nul != std::string_view::npos)
        Text = Text.substr(0, nul);
    size_t i = 0;
    while (i < Text.size() && Text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < Text.size() && (Text[i] == '-' || Text[i] == '+')) {
        negative = Text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < Text.size() && (Text[i] == '$' || Text[i] == 'x' || Text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < Text.size() && Text[i] == '0' &&
               (Text[i + 1] == 'x' || Text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= Text.size())
        return false;

    std::uint64_t magnitude = 0;
    for (; i < Text.size(); ++i) {
        const char c = Text[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        magnitude = magnitude * (hex ? 16 : 10) + digit;
        // Decimal stays within the signed range; hexadecimal may use all 32 bits.
        if (magnitude > (hex ? 0xFFFFFFFFull : 0x80000000ull))
            return false;
    }
    if (hex) {
        // Eight hex digits read as the 32-bit pattern ($FFFFFFFF is -1), as files may rely on.
        std::uint32_t bits = static_cast<std::uint32_t>(magnitude);
        if (negative)
            bits = 0u - bits;
        Value = static_cast<std::int32_t>(bits);
        return true;
    }
    if (!negative && magnitude > 0x7FFFFFFFull)
        return false;
    Value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                     : static_cast<std::int32_t>(magnitude);
    return true;
}

std::int32_t SpinEditValue(std::string_view Text) {
    std::int32_t value = 0;
    return TextToInt32(Text, value) ? value : 0;
}
