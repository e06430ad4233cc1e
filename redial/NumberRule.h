#pragma once

#include <cstdint>
#include <string_view>

// The number rule of the spin edits and the settings file: leading spaces, an optional sign,
// then decimal digits, or hexadecimal digits after "$", "x" or "0x". True only when the whole
// text converts; a zero byte ends the text.
bool TextToInt32(std::string_view Text, std::int32_t& Value);

// A spin edit's value: the text's number, or the field's minimum 0 when it does not convert.
std::int32_t SpinEditValue(std::string_view Text);
