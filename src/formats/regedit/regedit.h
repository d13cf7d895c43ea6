// Reading and writing the store in regedit's file formats, so that settings move between a
// real Windows XP machine, Wine and the Linux build's store. Both "REGEDIT4" (ANSI text) and
// "Windows Registry Editor Version 5.00" (UTF-16LE text) are read; texts are held in
// Windows-1252, as the ANSI registry functions see them. In a UTF-16 file the hex data of the
// string types (hex(1), hex(2), hex(7)) is UTF-16LE as well, as Windows writes it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "registry/registry_backend.h"

namespace platform {

class RegistryTree;

namespace regedit {

enum class Encoding {
    Regedit4,  // "REGEDIT4", Windows-1252 text
    Unicode5,  // "Windows Registry Editor Version 5.00", UTF-16LE text with a byte-order mark
};

// One change a file asks for, in file order.
struct Operation {
    enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = Kind::CreateKey;
    int line = 0;
    std::string key;  // path under HKEY_LOCAL_MACHINE ("" is the root itself)
    std::string name;
    std::uint32_t type = REG_NONE;
    std::vector<std::uint8_t> data;
    bool operator==(const Operation&) const = default;
};

// A key as a .reg file or regedit names it, the way a user types it: "HKEY_LOCAL_MACHINE\SYSTEM
// \...", "HKLM\SYSTEM\..." or bare "SYSTEM\..." (under HKEY_LOCAL_MACHINE), each with or
// without surrounding brackets, the root in any letter case, one trailing backslash allowed.
// Sets *path to the path under HKEY_LOCAL_MACHINE ("" for the root itself) and returns "", or
// returns why the name is refused (another root, an unknown one, an empty name in the path).
std::string ParseKeyName(std::string_view name, std::string* path);

// Parses a whole file. Returns "" and the operations, or an error "source:line: message".
// Keys under other roots, and values after a deleted key, are skipped with a warning
// "source:line: ..."; anything that skips something warns.
std::string ParseRegText(std::string_view bytes, const std::string& source,
                         std::vector<Operation>* operations, std::vector<std::string>* warnings);

// Parses and applies a file in one transaction: all of it or, on any error, none of it.
// Returns "" on success, else the error.
std::string ImportRegText(RegistryTree& store, std::string_view bytes, const std::string& source,
                          std::vector<std::string>* warnings);
std::string ImportRegFile(RegistryTree& store, const std::string& path,
                          std::vector<std::string>* warnings);

// Writes the key (with its subkeys) or, for "", the whole store. Returns "" on success.
std::string ExportRegText(RegistryTree& store, const std::string& key, Encoding encoding,
                          std::string* out);
// The keys of a list that exist, each with its subkeys; an error when none does.
std::string ExportRegText(RegistryTree& store, const std::vector<std::string>& keys,
                          Encoding encoding, std::string* out);
// Writes text to a file beside path and renames it over path. Returns "" on success.
std::string WriteRegFile(const std::string& path, const std::string& text);
std::string ExportRegFile(RegistryTree& store, const std::string& path, const std::string& key,
                          Encoding encoding = Encoding::Regedit4);

}  // namespace regedit
}  // namespace platform
