#include "RasTypes.h"

#include <algorithm>

namespace ras {

namespace {

std::string_view UpToNul(std::string_view Name) {
    return Name.substr(0, std::min(Name.find('\0'), Name.size()));
}

unsigned char FoldLatin(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

} // namespace

bool SameEntryName(std::string_view A, std::string_view B) {
    A = UpToNul(A);
    B = UpToNul(B);
    if (A.size() != B.size())
        return false;
    for (size_t i = 0; i < A.size(); ++i)
        if (FoldLatin(static_cast<unsigned char>(A[i])) !=
            FoldLatin(static_cast<unsigned char>(B[i])))
            return false;
    return true;
}

} // namespace ras
