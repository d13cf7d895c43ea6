// A registry hive made from nothing, from the published description of the format and as
// Windows XP writes one: subkey lists in Windows' order with its lh hashes (lf hints in
// hives before 1.5, an ri over leaves for long lists), names stored one byte a character where
// they can be, small data inside the value, data over 16,344 bytes in big data segments (1.4
// on), identical security descriptors shared with a reference count, the largest-name fields
// and the header's checksum by Windows' rule. It is for the tests' installations and for
// crafting hives that break one rule; it writes the whole hive at once and never changes one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace testing_support {

struct HiveValue {
    std::u16string name;
    std::uint32_t type = 0;
    std::string data;  // as stored: a text in UTF-16LE
};

struct HiveKey {
    std::u16string name;
    std::uint64_t time = 0;  // last written (FILETIME); 0: the hive's time
    std::u16string className;
    std::string security;  // a self-relative descriptor; empty: the parent's
    std::vector<HiveValue> values;
    std::vector<HiveKey> subkeys;  // in any order: they are written in Windows' order

    // The subkey or value of this name by Windows' rule, added when missing.
    HiveKey& Child(std::u16string_view name);
    HiveValue& Value(std::u16string_view name);
    // The key at a path of names separated by backslashes, made where missing.
    HiveKey& Path(std::u16string_view path);
};

struct HiveLayout {
    std::uint32_t minor = 5;     // 5 as XP's SYSTEM and SOFTWARE; 3 for lf lists and no big data
    std::uint64_t time = 0;      // the header's last-written time
    std::u16string fileName;     // the header's file name field (its last 31 characters)
    std::size_t leafSize = 500;  // the most entries in one list; longer lists get an ri
    bool wideNames = false;      // every name in UTF-16, as Windows does not store them
};

// The hive file's bytes.
std::string WriteHive(const HiveKey& root, const HiveLayout& layout);

// A FILETIME (100 ns since 1601, UTC) for a date and time.
std::uint64_t FileTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// Texts as a hive stores them.
std::string Utf16Bytes(std::u16string_view text);
std::u16string Utf16(std::string_view utf8);
std::string Dword(std::uint32_t value);

// A descriptor that gives everyone full access to a key and the keys under it: owner
// Administrators, group SYSTEM.
std::string EveryoneDescriptor();

}  // namespace testing_support
