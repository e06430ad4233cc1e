#include "TextLines.h"

std::vector<std::string_view> SplitTextLines(std::string_view Text) {
    std::vector<std::string_view> lines;
    std::size_t i = 0;
    while (i < Text.size()) {
        const std::size_t start = i;
        while (i < Text.size() && Text[i] != '\r' && Text[i] != '\n')
            ++i;
        lines.push_back(Text.substr(start, i - start));
        if (i < Text.size() && Text[i] == '\r')
            ++i;
        if (i < Text.size() && Text[i] == '\n')
            ++i;
    }
    return lines;
}
