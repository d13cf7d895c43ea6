// regedit's file formats, "REGEDIT4" (ANSI text) and "Windows Registry Editor Version 5.00"
// (UTF-16LE text), read and written as pure functions over bytes: the registry applies what a
// file says and supplies what an export writes. Texts are held in Windows-1252, as the ANSI
// registry functions see them; in a UTF-16 file the hex data of the string types (hex(1),
// hex(2), hex(7)) is UTF-16LE as well, as Windows writes it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::regedit {

enum class Encoding {
    Regedit4,  // "REGEDIT4", Windows-1252 text
    Unicode5,  // "Windows Registry Editor Version 5.00", UTF-16LE text with a byte-order mark
};

// Windows' value type numbers, as a file names them in hex(N).
namespace type {
constexpr std::uint32_t kNone = 0;
constexpr std::uint32_t kSz = 1;
constexpr std::uint32_t kExpandSz = 2;
constexpr std::uint32_t kBinary = 3;
constexpr std::uint32_t kDword = 4;
constexpr std::uint32_t kMultiSz = 7;
}  // namespace type

// One entry of a file, in file order: a change to make, or one that is skipped and why.
struct Entry {
    enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue, Skipped };
    Kind kind = Kind::Skipped;
    int line = 0;     // where the entry starts; for Skipped, the line at fault
    std::string key;  // path under HKEY_LOCAL_MACHINE ("" is the root itself)
    std::string name;
    std::uint32_t type = type::kNone;
    std::vector<std::uint8_t> data;
    std::string reason;  // Skipped: what is skipped and why, in UTF-8
    bool operator==(const Entry&) const = default;
};

// A whole file read: its entries, or why nothing in it applies.
struct RegFile {
    std::vector<Entry> entries;
    std::string error;  // "" or why the file is refused whole (UTF-8); then there are no entries
    int errorLine = 0;  // the line of the error, 0 for the file as a whole
};

// Reads a file as regedit reads it: an entry regedit skips (a malformed line, a key under
// another root than HKEY_LOCAL_MACHINE and the values under it) is a Skipped entry and the
// rest is read on; a file whose first line is not a header regedit knows is refused whole.
RegFile ParseRegText(std::string_view bytes);

// A key as a .reg file or regedit names it, the way a user types it: "HKEY_LOCAL_MACHINE\SYSTEM
// \...", "HKLM\SYSTEM\..." or bare "SYSTEM\..." (under HKEY_LOCAL_MACHINE), each with or
// without surrounding brackets, the root in any letter case, one trailing backslash allowed.
// Sets *path to the path under HKEY_LOCAL_MACHINE ("" for the root itself) and returns "", or
// returns why the name is refused (another root, an unknown one, an empty name in the path).
std::string ParseKeyName(std::string_view name, std::string* path);

// Writes a file key by key: each key's section, then its values. Whatever this writes,
// ParseRegText reads back to the very same keys, values, types and bytes.
class RegWriter {
  public:
    explicit RegWriter(Encoding encoding);

    // Starts the section of a key ("" is the root). Returns "" or why it cannot be written.
    std::string Key(std::string_view path);
    // A value of the section last started. Returns "" or why it cannot be written.
    std::string Value(std::string_view name, std::uint32_t type,
                      const std::vector<std::uint8_t>& data);
    // The whole file, in the bytes of its encoding.
    std::string Finish() const;

  private:
    void HexValue(std::string line, std::uint32_t type, const std::vector<std::uint8_t>& data);

    Encoding encoding_;
    std::string text_;  // Windows-1252, widened by Finish for a 5.00 file
    bool open_ = false;
};

}  // namespace platform::regedit
