#include "text/cp1252.h"

namespace platform::cp1252 {

namespace {

// 0x80 to 0x9F; the rest of 1252 is Latin-1.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The code point of the UTF-8 sequence at text[*at], advancing *at; -1 for a malformed one
// (then *at has moved by one byte).
long DecodeUtf8(std::string_view text, std::size_t* at) {
    const auto lead = static_cast<unsigned char>(text[*at]);
    ++*at;
    if (lead < 0x80) return lead;
    int follow = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        follow = 1;
        cp = lead & 0x1F;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        follow = 2;
        cp = lead & 0x0F;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        follow = 3;
        cp = lead & 0x07;
        least = 0x10000;
    } else {
        return -1;
    }
    std::size_t next = *at;
    for (int i = 0; i < follow; ++i, ++next) {
        if (next >= text.size()) return -1;
        const auto byte = static_cast<unsigned char>(text[next]);
        if ((byte & 0xC0) != 0x80) return -1;
        cp = (cp << 6) | (byte & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
    *at = next;
    return static_cast<long>(cp);
}

}  // namespace

char16_t ToUnicode(std::uint8_t byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : static_cast<char16_t>(byte);
}

int FromUnicode(char32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
        return static_cast<int>(character);
    }
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == character) return 0x80 + i;
    }
    return -1;
}

std::string ToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (const char c : ansi) AppendUtf8(out, ToUnicode(static_cast<std::uint8_t>(c)));
    return out;
}

std::string FromUtf8(std::string_view utf8, bool* exact) {
    std::string out;
    out.reserve(utf8.size());
    bool all = true;
    for (std::size_t at = 0; at < utf8.size();) {
        const long cp = DecodeUtf8(utf8, &at);
        const int byte = cp < 0 ? -1 : FromUnicode(static_cast<char32_t>(cp));
        all = all && byte >= 0;
        out += byte < 0 ? kReplacement : static_cast<char>(byte);
    }
    if (exact) *exact = all;
    return out;
}

std::u16string ToUtf16(std::string_view ansi) {
    std::u16string out;
    out.reserve(ansi.size());
    for (const char c : ansi) out += ToUnicode(static_cast<std::uint8_t>(c));
    return out;
}

std::string FromUtf16(std::u16string_view text, bool* exact) {
    std::string out;
    out.reserve(text.size());
    bool all = true;
    for (const char16_t unit : text) {
        const int byte = FromUnicode(unit);
        all = all && byte >= 0;
        out += byte < 0 ? kReplacement : static_cast<char>(byte);
    }
    if (exact) *exact = all;
    return out;
}

}  // namespace platform::cp1252
