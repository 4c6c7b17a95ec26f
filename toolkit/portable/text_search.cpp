#include "toolkit/portable/text_search.h"

#include <climits>

namespace tk {

namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualFolded(std::string_view a, std::string_view b) {
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

}  // namespace

int FindText(std::string_view text, std::string_view sought, int start, bool caseInsensitive) {
    if (sought.empty()) return -1;
    size_t from = start < 1 ? 0 : static_cast<size_t>(start) - 1;
    while (from < text.size() && text.size() - from >= sought.size()) {
        size_t found;
        if (caseInsensitive) {
            found = from;
            if (!EqualFolded(text.substr(from, sought.size()), sought)) {
                ++from;
                continue;
            }
        } else {
            found = text.find(sought, from);
            if (found == std::string_view::npos) return -1;
        }
        if (!IsContinuationByte(text[found])) return found < INT_MAX ? static_cast<int>(found) + 1 : -1;
        from = found + 1;
    }
    return -1;
}

}  // namespace tk
