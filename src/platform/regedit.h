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

#include "platform/registry_backend.h"

namespace platform {

class SqliteStore;

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

// Parses a whole file. Returns "" and the operations, or an error "source:line: message".
// Keys under other roots are skipped with a warning "source:line: ...".
std::string ParseRegText(std::string_view bytes, const std::string& source,
                         std::vector<Operation>* operations, std::vector<std::string>* warnings);

// Parses and applies a file in one transaction: all of it or, on any error, none of it.
// Returns "" on success, else the error.
std::string ImportRegText(SqliteStore& store, std::string_view bytes, const std::string& source,
                          std::vector<std::string>* warnings);
std::string ImportRegFile(SqliteStore& store, const std::string& path,
                          std::vector<std::string>* warnings);

// Writes the key (with its subkeys) or, for "", the whole store. Returns "" on success.
std::string ExportRegText(SqliteStore& store, const std::string& key, Encoding encoding,
                          std::string* out);
std::string ExportRegFile(SqliteStore& store, const std::string& path, const std::string& key,
                          Encoding encoding = Encoding::Regedit4);

// Windows-1252 and UTF-16 code units. The five bytes that 1252 leaves undefined map to the
// C1 controls of the same number, as Windows maps them, so every byte has a character.
char16_t Cp1252ToUnicode(std::uint8_t byte);
// -1 for a character that 1252 cannot hold.
int UnicodeToCp1252(char16_t unit);

}  // namespace regedit
}  // namespace platform
