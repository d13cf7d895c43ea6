// What the reading and the writing of regedit files share: the headers, the roots' names, and
// the mark of a text kept without its terminating NUL. Internal to formats/regedit.
#pragma once

#include <cstdint>
#include <string_view>

#include "formats/regedit/regedit.h"

namespace platform::regedit::format {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
// The header of Windows 3.1's registration files, which hold HKEY_CLASSES_ROOT entries only.
constexpr std::string_view kHeader31 = "REGEDIT";
constexpr std::string_view kRoot = "HKEY_LOCAL_MACHINE";

// regedit ends the hex data of a string type with a NUL when the file's data has none. A text
// stored without one (as the panel stores its own) is written with this comment after its
// data, and read back without a NUL added; regedit itself ignores the comment.
constexpr std::string_view kNoTerminator = "no terminating NUL";

// A string type, whose hex data a 5.00 file carries as UTF-16LE.
inline bool IsTextType(std::uint32_t valueType) {
    return valueType == type::kSz || valueType == type::kExpandSz || valueType == type::kMultiSz;
}

enum class Root {
    LocalMachine,  // HKEY_LOCAL_MACHINE
    ShortName,     // HKLM, which regedit does not read in a file
    Other,         // another of Windows' roots, by its long or short name
    Unknown,
};
// Which root the first name of a key path names, in any letter case.
Root RootOf(std::string_view name);

}  // namespace platform::regedit::format
