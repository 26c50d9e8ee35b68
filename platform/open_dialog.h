// What the program's Open dialog offers on every platform: archives and pictures first, then all
// files, and "a" as the extension of a name typed without one.
#pragma once

#include <cstdint>
#include <string_view>

namespace quorvel {

// The filter list in the form of the Windows common dialog: pairs of a description and a pattern
// list (patterns separated by ';'), every text zero-terminated and the list ending in one more
// zero byte, 33 bytes together.
inline constexpr char kOpenDialogFilter[] = "A/PX file\0*.a;*.px\0all fils\0*.*\0";
static_assert(sizeof(kOpenDialogFilter) == 33);

inline constexpr const char* kOpenDialogDefaultExtension = "a";

// Option bits the program adds to the Windows dialog's own: OFN_OVERWRITEPROMPT (2) and
// OFN_HIDEREADONLY (4).
inline constexpr uint32_t kOpenDialogExtraFlags = 6;

// Calls visit(description, patterns) for each pair of a filter list in the form above.
template <typename Visit>
void forEachDialogFilter(const char* list, Visit visit) {
  while (*list != '\0') {
    std::string_view description(list);
    const char* patterns = list + description.size() + 1;
    std::string_view patternList(patterns);
    visit(description, patternList);
    list = patterns + patternList.size() + 1;
  }
}

}  // namespace quorvel
