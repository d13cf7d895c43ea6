// Windows-1252, the ANSI code page of the Western European Windows XP the system runs on, and
// its conversions to and from Unicode. The registry's ANSI functions, regedit's files and the
// window toolkit all meet here. The five bytes that 1252 leaves undefined (81, 8D, 8F, 90, 9D)
// map to the C1 controls of the same number, as Windows maps them, so every byte has a
// character and every text survives a round trip through Unicode.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::cp1252 {

// What a character without a Windows-1252 form becomes, as in Windows' own conversions.
constexpr char kReplacement = '?';

char16_t ToUnicode(std::uint8_t byte);
// The byte for a character, -1 for one that 1252 cannot hold.
int FromUnicode(char32_t character);

// Windows-1252 bytes to UTF-8, and back. Each character without a 1252 form, and each byte of
// malformed UTF-8, becomes kReplacement; *exact (when given) tells whether none did.
std::string ToUtf8(std::string_view ansi);
std::string FromUtf8(std::string_view utf8, bool* exact = nullptr);

// Windows-1252 bytes to UTF-16 code units, and back, one unit for one byte as Windows' ANSI
// registry functions convert: a unit without a 1252 form (a surrogate too) becomes
// kReplacement, so the text keeps its length.
std::u16string ToUtf16(std::string_view ansi);
std::string FromUtf16(std::u16string_view text, bool* exact = nullptr);

}  // namespace platform::cp1252
