// What the reading and the writing of regedit files share: the headers, the root's names and
// how a failed registry operation is told. Internal to regedit_*.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "registry/registry_backend.h"

namespace platform::regedit::format {

constexpr const char* kHeader4 = "REGEDIT4";
constexpr const char* kHeader5 = "Windows Registry Editor Version 5.00";
constexpr const char* kRoot = "HKEY_LOCAL_MACHINE";

// A string type whose hex data a 5.00 file carries as UTF-16LE.
inline bool IsTextType(std::uint32_t type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

enum class Root { LocalMachine, Other, Unknown };
// Which root the first name of a key path names: HKEY_LOCAL_MACHINE or HKLM, another of
// Windows' roots (long or short name), or none of them; in any letter case.
Root RootOf(std::string_view name);

// Why a registry operation failed, in words.
std::string Reason(long status);

}  // namespace platform::regedit::format
