// Writing regedit files as regedit writes them, so that regedit, Wine and this program read
// them; and exactly, so that reading one back gives every byte as it was.
#include <algorithm>
#include <cstdio>

#include "formats/regedit/regedit.h"
#include "formats/regedit/regedit_format.h"
#include "text/cp1252.h"

namespace platform::regedit {

namespace {

using namespace format;

// Hex lines are wrapped so that none, with its trailing backslash, passes this column.
constexpr std::size_t kLineWidth = 80;

std::string Hex2(std::uint8_t byte) {
    static const char kDigits[] = "0123456789abcdef";
    return {kDigits[byte >> 4], kDigits[byte & 15]};
}

bool Printable(std::uint8_t byte) {
    if (byte < 0x20 || byte == 0x7F) return false;
    return byte != 0x81 && byte != 0x8D && byte != 0x8F && byte != 0x90 && byte != 0x9D;
}

std::string Escape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

// A name no line of a file can hold.
bool HasLineBreak(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// UTF-16LE for Windows-1252 text.
std::string Widen(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (const char c : text) {
        const char16_t unit = cp1252::ToUnicode(static_cast<std::uint8_t>(c));
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
    return out;
}

// A text that a quoted form gives back byte for byte: printable, with its one NUL at the end.
bool QuotedTextHolds(const std::vector<std::uint8_t>& data) {
    if (data.empty() || data.back() != 0) return false;
    for (std::size_t i = 0; i + 1 < data.size(); ++i) {
        if (!Printable(data[i])) return false;
    }
    return true;
}

}  // namespace

RegWriter::RegWriter(Encoding encoding)
    : encoding_(encoding),
      text_(std::string(encoding == Encoding::Regedit4 ? kHeader4 : kHeader5) + "\r\n\r\n") {}

std::string RegWriter::Key(std::string_view path) {
    const std::string full =
        path.empty() ? std::string(kRoot) : std::string(kRoot) + "\\" + std::string(path);
    if (HasLineBreak(path)) return "key \"" + full + "\" cannot be written in a .reg file";
    if (open_) text_ += "\r\n";
    text_ += "[" + full + "]\r\n";
    open_ = true;
    return "";
}

std::string RegWriter::Value(std::string_view name, std::uint32_t valueType,
                             const std::vector<std::uint8_t>& data) {
    if (HasLineBreak(name)) {
        return "value name \"" + std::string(name) + "\" cannot be written in a .reg file";
    }
    std::string line = name.empty() ? "@=" : "\"" + Escape(name) + "\"=";
    if (valueType == type::kSz && QuotedTextHolds(data)) {
        const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size() - 1);
        text_ += line + "\"" + Escape(text) + "\"\r\n";
    } else if (valueType == type::kDword && data.size() == 4) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08x",
                      static_cast<unsigned>(data[0] | data[1] << 8 | data[2] << 16 |
                                            static_cast<std::uint32_t>(data[3]) << 24));
        text_ += line + "dword:" + digits + "\r\n";
    } else {
        HexValue(std::move(line), valueType, data);
    }
    return "";
}

void RegWriter::HexValue(std::string line, std::uint32_t valueType,
                         const std::vector<std::uint8_t>& data) {
    if (valueType == type::kBinary) {
        line += "hex:";
    } else {
        char name[16];
        std::snprintf(name, sizeof name, "hex(%x):", static_cast<unsigned>(valueType));
        line += name;
    }
    std::string bytes(data.begin(), data.end());
    if (encoding_ == Encoding::Unicode5 && IsTextType(valueType)) bytes = Widen(bytes);
    // A text without its terminating NUL says so, or reading it would add one.
    const bool unterminated = IsTextType(valueType) && !data.empty() && data.back() != 0;
    const std::string mark = unterminated ? " ; " + std::string(kNoTerminator) : "";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const bool last = i + 1 == bytes.size();
        // An item and the continuation mark (after the last item, the comment) must fit.
        const std::size_t after = last ? std::max<std::size_t>(1, mark.size()) : 1;
        if (line.size() + 3 + after > kLineWidth) {
            text_ += line + "\\\r\n";
            line = "  ";
        }
        line += Hex2(static_cast<std::uint8_t>(bytes[i]));
        if (!last) line += ",";
    }
    text_ += line + mark + "\r\n";
}

std::string RegWriter::Finish() const {
    const std::string text = open_ ? text_ + "\r\n" : text_;
    return encoding_ == Encoding::Regedit4 ? text : "\xFF\xFE" + Widen(text);
}

}  // namespace platform::regedit
