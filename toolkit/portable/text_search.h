// Substring search in UTF-8 text with the launcher's 1-based positions, free of any window system.
#pragma once

#include <string_view>

namespace tk {

// The 1-based byte position of the first occurrence of `sought` in `text` at or after byte position
// `start`, or -1 when there is none (never 0). A match only counts where a character begins, never on a
// UTF-8 continuation byte. An empty `sought` is never found. A `start` below 1 counts as 1.
// `caseInsensitive` folds the ASCII letters only.
int FindText(std::string_view text, std::string_view sought, int start = 1, bool caseInsensitive = false);

}  // namespace tk
