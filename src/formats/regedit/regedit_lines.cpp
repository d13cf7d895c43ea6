#include "formats/regedit/regedit_lines.h"

#include <cstdint>

#include "text/cp1252.h"

namespace platform::regedit::lines {

namespace {

// Splits units into lines; a last line without a line break counts too.
template <typename Unit, typename Convert>
void Split(const Unit* units, std::size_t count, Convert convert,
           std::vector<std::u16string>* out) {
    std::u16string current;
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t c = convert(units[i]);
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < count && convert(units[i + 1]) == u'\n') ++i;
            out->push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) out->push_back(std::move(current));
}

void AppendUtf8(char32_t c, std::string* out) {
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | c >> 6));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | c >> 12));
        out->push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | c >> 18));
        out->push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

std::string Decode(std::string_view bytes, Text* text) {
    text->lines.clear();
    text->utf16 = bytes.size() >= 2 && static_cast<std::uint8_t>(bytes[0]) == 0xFF &&
                  static_cast<std::uint8_t>(bytes[1]) == 0xFE;
    if (!text->utf16) {
        const auto byte = [](char c) { return cp1252::ToUnicode(static_cast<std::uint8_t>(c)); };
        Split(bytes.data(), bytes.size(), byte, &text->lines);
        return "";
    }
    if (bytes.size() % 2 != 0) return "UTF-16 file with an odd number of bytes";
    std::u16string units;
    units.reserve(bytes.size() / 2 - 1);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                              static_cast<std::uint8_t>(bytes[i + 1]) << 8));
    }
    Split(
        units.data(), units.size(), [](char16_t c) { return c; }, &text->lines);
    return "";
}

std::string Utf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        AppendUtf8(c, &out);
    }
    return out;
}

bool Equals(std::u16string_view text, std::string_view ascii) {
    if (text.size() != ascii.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != static_cast<unsigned char>(ascii[i])) return false;
    }
    return true;
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

std::u16string_view Trim(std::u16string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool Cursor::Take(char16_t c) {
    if (!Is(c)) return false;
    Next();
    return true;
}

bool Cursor::TakeNoCase(std::string_view word) {
    if (line_.size() - pos_ < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        const char16_t c = line_[pos_ + i];
        const char16_t lower = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
        if (lower != static_cast<unsigned char>(word[i])) return false;
    }
    pos_ += word.size();
    return true;
}

void Cursor::SkipBlanks() {
    while (!AtEnd() && IsBlank(Peek())) Next();
}

bool Cursor::RestIsEmpty() const {
    Cursor rest = *this;
    rest.SkipBlanks();
    return rest.AtEnd() || rest.Peek() == u';';
}

bool Cursor::CommentIs(std::string_view text) const {
    Cursor rest = *this;
    rest.SkipBlanks();
    return rest.Take(u';') && Equals(Trim(rest.Rest()), text);
}

}  // namespace platform::regedit::lines
