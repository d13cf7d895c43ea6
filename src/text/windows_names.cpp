#include "text/windows_names.h"

#include <algorithm>
#include <array>

namespace platform::names {

namespace {

// Every unit's upper case, made from the table once: names are compared in every lookup.
const std::array<char16_t, 0x10000>& Upper() {
    static const std::array<char16_t, 0x10000> upper = [] {
        std::array<char16_t, 0x10000> made{};
        for (std::size_t unit = 0; unit < made.size(); ++unit) {
            made[unit] = static_cast<char16_t>(unit);
        }
        for (std::size_t i = 0; i < table::kUpcaseCount; ++i) {
            made[table::kUpcase[i].unit] = table::kUpcase[i].upper;
        }
        return made;
    }();
    return upper;
}

}  // namespace

char16_t Upcase(char16_t unit) {
    return Upper()[unit];
}

int Compare(std::u16string_view a, std::u16string_view b) {
    const auto& upper = Upper();
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = upper[a[i]];
        const char16_t y = upper[b[i]];
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::uint32_t LhHash(std::u16string_view name) {
    const auto& upper = Upper();
    std::uint32_t hash = 0;
    for (const char16_t unit : name) hash = hash * 37 + upper[unit];
    return hash;
}

std::uint32_t LfHint(std::u16string_view name) {
    std::uint32_t hint = 0;
    for (std::size_t i = 0; i < 4 && i < name.size(); ++i) {
        if (name[i] <= 0xFF) hint |= static_cast<std::uint32_t>(name[i]) << (8 * i);
    }
    return hint;
}

}  // namespace platform::names
