// Registry key and value names as Windows compares, sorts and hashes them: code unit by code
// unit of UTF-16, each through Windows' own upper-case table (data/windows-upcase.txt). It is not
// Unicode's case folding: µ, ı, ſ, final sigma and others stay as they are. A hive whose subkey
// lists disagree with these rules has keys Windows cannot find, so every name a hive holds is
// compared, ordered and hashed here and nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform::names {

// The upper case of one UTF-16 code unit (itself where the table has none).
char16_t Upcase(char16_t unit);

// Windows' order of two names: the first unit that differs in upper case decides; a name that is
// the start of the other sorts first. <0, 0 or >0.
int Compare(std::u16string_view a, std::u16string_view b);
inline bool Equal(std::u16string_view a, std::u16string_view b) {
    return Compare(a, b) == 0;
}

// The hash an "lh" subkey list keeps for a name: H = 37 * H + upper case, over the units.
std::uint32_t LhHash(std::u16string_view name);

// The hint an "lf" subkey list keeps for a name: its first four units, one byte each as they
// are (not upper-cased), 0 for a unit above 0xFF and for the places past a shorter name.
std::uint32_t LfHint(std::u16string_view name);

namespace table {
struct Mapping {
    char16_t unit;
    char16_t upper;
};
extern const Mapping kUpcase[];
extern const std::size_t kUpcaseCount;
}  // namespace table

}  // namespace platform::names
