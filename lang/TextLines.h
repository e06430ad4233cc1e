#pragma once

#include <string_view>
#include <vector>

// Splits text as a string list splits it: at CR LF, CR or LF, with no empty line after a break
// at the very end. The views point into Text.
std::vector<std::string_view> SplitTextLines(std::string_view Text);
