#include "platform/regedit.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/sqlite_store_posix.h"

namespace platform::regedit {

namespace {

constexpr const char* kHeader4 = "REGEDIT4";
constexpr const char* kHeader5 = "Windows Registry Editor Version 5.00";
constexpr const char* kRoot = "HKEY_LOCAL_MACHINE";
// Hex lines are wrapped so that none, with its trailing backslash, passes this column.
constexpr std::size_t kLineWidth = 80;

// 0x80 to 0x9F; the rest of 1252 is Latin-1.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    return text;
}

std::string_view TrimRight(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Hex2(std::uint8_t byte) {
    static const char kDigits[] = "0123456789abcdef";
    return {kDigits[byte >> 4], kDigits[byte & 15]};
}

struct Line {
    int number = 0;
    std::string text;  // Windows-1252
};

// A string type whose hex data a 5.00 file carries as UTF-16LE.
bool IsTextType(std::uint32_t type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

class Parser {
  public:
    Parser(const std::string& source, std::vector<Operation>* operations,
           std::vector<std::string>* warnings)
        : source_(source), operations_(operations), warnings_(warnings) {}

    // "" or the error.
    std::string Run(std::string_view bytes) {
        std::vector<Line> lines;
        std::string error = Decode(bytes, &lines);
        if (!error.empty()) return error;
        if (lines.empty() || !ReadHeader(lines[0].text)) {
            return At(1,
                      "not a registry file: the first line must be \"REGEDIT4\" or "
                      "\"Windows Registry Editor Version 5.00\"");
        }
        for (std::size_t i = 1; i < lines.size(); ++i) {
            error = ParseLine(lines, &i);
            if (!error.empty()) return error;
        }
        return "";
    }

  private:
    enum class Section { None, Key, Deleted, Skipped };

    std::string At(int line, const std::string& message) const {
        return source_ + ":" + std::to_string(line) + ": " + message;
    }

    bool ReadHeader(std::string_view first) {
        first = TrimRight(first);
        return first == kHeader4 || first == kHeader5;
    }

    std::string Decode(std::string_view bytes, std::vector<Line>* lines) {
        const bool utf16 = bytes.size() >= 2 && static_cast<std::uint8_t>(bytes[0]) == 0xFF &&
                           static_cast<std::uint8_t>(bytes[1]) == 0xFE;
        utf16_ = utf16;
        if (!utf16) {
            // 8-bit text is taken as Windows-1252, byte for byte.
            int number = 1;
            std::string current;
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                const char c = bytes[i];
                if (c == '\r' || c == '\n') {
                    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
                    lines->push_back({number++, current});
                    current.clear();
                } else {
                    current.push_back(c);
                }
            }
            if (!current.empty()) lines->push_back({number, current});
            return "";
        }
        if (bytes.size() % 2 != 0) return At(1, "UTF-16 file with an odd number of bytes");
        std::u16string units;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            units.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                                  (static_cast<std::uint8_t>(bytes[i + 1]) << 8)));
        }
        int number = 1;
        std::u16string current;
        const auto finish = [&]() -> std::string {
            Line line{number, {}};
            bool comment = false;
            for (const char16_t unit : current) {
                if (unit != u' ' && unit != u'\t') {
                    comment = unit == u';';
                    break;
                }
            }
            for (const char16_t unit : current) {
                const int byte = UnicodeToCp1252(unit);
                if (byte < 0 && !comment) {
                    char code[8];
                    std::snprintf(code, sizeof code, "%04X", static_cast<unsigned>(unit));
                    return At(number, std::string("character U+") + code +
                                          " cannot be held in Windows-1252");
                }
                // What a comment says does not matter.
                line.text.push_back(byte < 0 ? '?' : static_cast<char>(byte));
            }
            lines->push_back(std::move(line));
            current.clear();
            ++number;
            return "";
        };
        for (std::size_t i = 0; i < units.size(); ++i) {
            const char16_t unit = units[i];
            if (unit == u'\r' || unit == u'\n') {
                if (unit == u'\r' && i + 1 < units.size() && units[i + 1] == u'\n') ++i;
                const std::string error = finish();
                if (!error.empty()) return error;
            } else {
                current.push_back(unit);
            }
        }
        if (!current.empty()) return finish();
        return "";
    }

    std::string ParseLine(const std::vector<Line>& lines, std::size_t* index) {
        const Line& line = lines[*index];
        const std::string_view text = TrimLeft(line.text);
        if (TrimRight(text).empty() || text.front() == ';') return "";
        if (text.front() == '[') return ParseKey(line.number, TrimRight(text));
        if (text.front() == '"' || text.front() == '@') return ParseValue(lines, index, text);
        return At(line.number, "expected a [key], a value or a comment");
    }

    std::string ParseKey(int number, std::string_view text) {
        // The last "]" closes the name (which may hold brackets); a comment may follow.
        const std::size_t close = text.rfind(']');
        if (close == std::string_view::npos || close == 0) {
            return At(number, "expected \"]\" at the end of the key name");
        }
        if (!RestIsEmpty(text.substr(close + 1))) {
            return At(number, "unexpected text after \"]\"");
        }
        text = text.substr(0, close + 1);
        std::string_view name = text.substr(1, text.size() - 2);
        const bool deletion = !name.empty() && name.front() == '-';
        if (deletion) name.remove_prefix(1);
        const std::size_t slash = name.find('\\');
        const std::string_view root = name.substr(0, slash);
        const std::string_view rest =
            slash == std::string_view::npos ? std::string_view() : name.substr(slash + 1);
        if (!EqualsNoCase(root, kRoot) && !EqualsNoCase(root, "HKLM")) {
            static const char* const kOtherRoots[] = {
                "HKEY_CLASSES_ROOT", "HKCR", "HKEY_CURRENT_USER",     "HKCU",
                "HKEY_USERS",        "HKU",  "HKEY_CURRENT_CONFIG",   "HKCC",
                "HKEY_DYN_DATA",     "HKDD", "HKEY_PERFORMANCE_DATA",
            };
            for (const char* other : kOtherRoots) {
                if (EqualsNoCase(root, other)) {
                    if (warnings_) {
                        warnings_->push_back(At(number, "skipped key outside " +
                                                            std::string(kRoot) + ": " +
                                                            std::string(text)));
                    }
                    section_ = Section::Skipped;
                    return "";
                }
            }
            return At(number, "unknown root key \"" + std::string(root) + "\"");
        }
        if (slash != std::string_view::npos) {
            // Every name between backslashes must be there.
            std::size_t start = 0;
            while (true) {
                const std::size_t end = rest.find('\\', start);
                const std::size_t length =
                    (end == std::string_view::npos ? rest.size() : end) - start;
                if (length == 0) return At(number, "empty name in key path");
                if (end == std::string_view::npos) break;
                start = end + 1;
            }
        }
        if (rest.find('\0') != std::string_view::npos) {
            return At(number, "NUL character in key path");
        }
        Operation operation;
        operation.line = number;
        operation.key = std::string(rest);
        if (deletion) {
            if (rest.empty()) return At(number, "the root key cannot be deleted");
            operation.kind = Operation::Kind::DeleteKey;
            section_ = Section::Deleted;
        } else {
            operation.kind = Operation::Kind::CreateKey;
            section_ = Section::Key;
            key_ = operation.key;
        }
        operations_->push_back(std::move(operation));
        return "";
    }

    // A quoted text starting at text[*pos] == '"'; leaves *pos after the closing quote.
    std::string ParseQuoted(int number, std::string_view text, std::size_t* pos, std::string* out) {
        ++*pos;
        while (true) {
            if (*pos >= text.size()) return At(number, "missing closing quote");
            const char c = text[(*pos)++];
            if (c == '"') return "";
            if (c != '\\') {
                out->push_back(c);
                continue;
            }
            if (*pos >= text.size()) return At(number, "missing closing quote");
            const char escaped = text[(*pos)++];
            switch (escaped) {
                case '\\':
                    out->push_back('\\');
                    break;
                case '"':
                    out->push_back('"');
                    break;
                // Wine writes line breaks and NULs in these forms.
                case 'n':
                    out->push_back('\n');
                    break;
                case 'r':
                    out->push_back('\r');
                    break;
                case '0':
                    out->push_back('\0');
                    break;
                default:
                    return At(number, std::string("unknown escape \"\\") + escaped + "\"");
            }
        }
    }

    // Only blanks or a comment may follow a value.
    bool RestIsEmpty(std::string_view rest) {
        rest = TrimLeft(rest);
        return rest.empty() || rest.front() == ';';
    }

    std::string ParseValue(const std::vector<Line>& lines, std::size_t* index,
                           std::string_view text) {
        const int number = lines[*index].number;
        if (section_ == Section::None) return At(number, "value before the first [key]");
        Operation operation;
        operation.line = number;
        operation.key = key_;
        std::size_t pos = 0;
        if (text.front() == '@') {
            pos = 1;
        } else {
            std::string error = ParseQuoted(number, text, &pos, &operation.name);
            if (!error.empty()) return error;
            if (operation.name.find('\0') != std::string::npos) {
                return At(number, "NUL character in value name");
            }
        }
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        if (pos >= text.size() || text[pos] != '=') {
            return At(number, "expected \"=\" after value name");
        }
        ++pos;
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        const std::string_view data = text.substr(pos);

        if (!data.empty() && data.front() == '-') {
            if (!RestIsEmpty(data.substr(1))) return At(number, "unexpected text after \"-\"");
            operation.kind = Operation::Kind::DeleteValue;
        } else if (!data.empty() && data.front() == '"') {
            std::size_t end = 0;
            std::string value;
            std::string error = ParseQuoted(number, data, &end, &value);
            if (!error.empty()) return error;
            if (!RestIsEmpty(data.substr(end))) {
                return At(number, "unexpected text after the closing quote");
            }
            // As regedit stores it: with the terminating NUL.
            operation.kind = Operation::Kind::SetValue;
            operation.type = REG_SZ;
            operation.data.assign(value.begin(), value.end());
            operation.data.push_back(0);
        } else if (StartsWithNoCase(data, "dword:")) {
            std::string_view digits = data.substr(6);
            std::size_t count = 0;
            std::uint32_t number32 = 0;
            while (count < digits.size() && HexValue(digits[count]) >= 0) {
                number32 = number32 * 16 + static_cast<std::uint32_t>(HexValue(digits[count]));
                ++count;
            }
            if (count == 0 || count > 8 || !RestIsEmpty(digits.substr(count))) {
                return At(number, "dword value must be 1 to 8 hexadecimal digits");
            }
            operation.kind = Operation::Kind::SetValue;
            operation.type = REG_DWORD;
            operation.data = {static_cast<std::uint8_t>(number32),
                              static_cast<std::uint8_t>(number32 >> 8),
                              static_cast<std::uint8_t>(number32 >> 16),
                              static_cast<std::uint8_t>(number32 >> 24)};
        } else if (StartsWithNoCase(data, "hex")) {
            std::string error = ParseHex(lines, index, data, &operation);
            if (!error.empty()) return error;
        } else {
            return At(number, "expected \"-\", a quoted text, dword: or hex: after \"=\"");
        }

        if (section_ == Section::Deleted) {
            if (warnings_) warnings_->push_back(At(number, "value after a deleted key ignored"));
            return "";
        }
        if (section_ == Section::Skipped) return "";
        operations_->push_back(std::move(operation));
        return "";
    }

    std::string ParseHex(const std::vector<Line>& lines, std::size_t* index, std::string_view data,
                         Operation* operation) {
        const int first = lines[*index].number;
        std::size_t pos = 3;
        std::uint32_t type = REG_BINARY;
        if (pos < data.size() && data[pos] == '(') {
            ++pos;
            std::size_t count = 0;
            type = 0;
            while (pos < data.size() && HexValue(data[pos]) >= 0) {
                type = type * 16 + static_cast<std::uint32_t>(HexValue(data[pos]));
                ++pos;
                ++count;
            }
            if (count == 0 || count > 8 || pos >= data.size() || data[pos] != ')') {
                return At(first, "expected hex(N): with N a hexadecimal type number");
            }
            ++pos;
        }
        if (pos >= data.size() || data[pos] != ':') return At(first, "expected \":\" after hex");
        ++pos;

        std::vector<std::uint8_t> bytes;
        std::string_view chunk = data.substr(pos);
        int number = first;
        while (true) {
            // Hex data holds no ";": what follows one is a comment.
            chunk = TrimRight(chunk.substr(0, chunk.find(';')));
            const bool continued = !chunk.empty() && chunk.back() == '\\';
            if (continued) chunk.remove_suffix(1);
            std::size_t at = 0;
            while (true) {
                while (at < chunk.size() && IsBlank(chunk[at])) ++at;
                if (at >= chunk.size()) break;
                int digits = 0;
                int byte = 0;
                while (at < chunk.size() && digits < 2 && HexValue(chunk[at]) >= 0) {
                    byte = byte * 16 + HexValue(chunk[at]);
                    ++at;
                    ++digits;
                }
                if (digits == 0) return At(number, "expected a hexadecimal byte");
                bytes.push_back(static_cast<std::uint8_t>(byte));
                while (at < chunk.size() && IsBlank(chunk[at])) ++at;
                if (at >= chunk.size()) break;
                if (chunk[at] != ',') return At(number, "expected \",\" between hexadecimal bytes");
                ++at;
            }
            if (!continued) break;
            // Blank and comment lines may stand between the continued lines.
            do {
                if (*index + 1 >= lines.size()) {
                    return At(number, "file ends inside a value continued with \"\\\"");
                }
                ++*index;
                chunk = TrimLeft(lines[*index].text);
            } while (TrimRight(chunk).empty() || chunk.front() == ';');
            number = lines[*index].number;
        }
        if (utf16_ && IsTextType(type)) {
            // A UTF-16 file carries the text of string types as UTF-16LE too.
            if (bytes.size() % 2 != 0) {
                return At(first, "UTF-16 text data with an odd number of bytes");
            }
            std::vector<std::uint8_t> narrow;
            for (std::size_t i = 0; i < bytes.size(); i += 2) {
                const int byte =
                    UnicodeToCp1252(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
                if (byte < 0) return At(first, "text data cannot be held in Windows-1252");
                narrow.push_back(static_cast<std::uint8_t>(byte));
            }
            bytes = std::move(narrow);
        }
        operation->kind = Operation::Kind::SetValue;
        operation->type = type;
        operation->data = std::move(bytes);
        return "";
    }

    const std::string& source_;
    std::vector<Operation>* operations_;
    std::vector<std::string>* warnings_;
    bool utf16_ = false;
    Section section_ = Section::None;
    std::string key_;
};

std::string Reason(long status) {
    switch (status) {
        case winerr::kAccessDenied:
            return "access denied (the store is read-only)";
        case winerr::kBadPathname:
            return "bad key path";
        case winerr::kInvalidParameter:
            return "invalid name";
        default:
            return "store error " + std::to_string(status);
    }
}

// --- export ---

bool Printable(std::uint8_t byte) {
    if (byte < 0x20 || byte == 0x7F) return false;
    return byte != 0x81 && byte != 0x8D && byte != 0x8F && byte != 0x90 && byte != 0x9D;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos || text.find('\0') != std::string::npos;
}

class Exporter {
  public:
    Exporter(SqliteStore& store, Encoding encoding) : store_(store), encoding_(encoding) {}

    std::string Run(const std::string& key, std::string* out) {
        text_ = std::string(encoding_ == Encoding::Regedit4 ? kHeader4 : kHeader5) + "\r\n\r\n";
        std::string error;
        if (key.empty()) {
            std::vector<StoredValue> values;
            long status = store_.Values("", &values);
            if (status != winerr::kSuccess) return "cannot read the store: " + Reason(status);
            if (!values.empty()) {
                error = WriteKey("");
                if (!error.empty()) return error;
            }
            std::vector<std::string> children;
            status = store_.SubKeys("", &children);
            if (status != winerr::kSuccess) return "cannot read the store: " + Reason(status);
            for (const auto& child : children) {
                error = WriteTree(child);
                if (!error.empty()) return error;
            }
        } else {
            const std::string stored = store_.StoredKeyPath(key);
            if (stored.empty()) return "key \"" + std::string(kRoot) + "\\" + key + "\" not found";
            error = WriteTree(stored);
            if (!error.empty()) return error;
        }
        *out = encoding_ == Encoding::Regedit4 ? text_ : Widen(text_, true);
        return "";
    }

  private:
    static std::string Widen(const std::string& text, bool byteOrderMark) {
        std::string out = byteOrderMark ? "\xFF\xFE" : "";
        for (const char c : text) {
            const char16_t unit = Cp1252ToUnicode(static_cast<std::uint8_t>(c));
            out.push_back(static_cast<char>(unit & 0xFF));
            out.push_back(static_cast<char>(unit >> 8));
        }
        return out;
    }

    std::string WriteTree(const std::string& path) {
        std::string error = WriteKey(path);
        if (!error.empty()) return error;
        std::vector<std::string> children;
        const long status = store_.SubKeys(path, &children);
        if (status != winerr::kSuccess)
            return "cannot read key \"" + path + "\": " + Reason(status);
        for (const auto& child : children) {
            error = WriteTree(path + "\\" + child);
            if (!error.empty()) return error;
        }
        return "";
    }

    std::string WriteKey(const std::string& path) {
        const std::string full = path.empty() ? kRoot : std::string(kRoot) + "\\" + path;
        if (HasLineBreak(path)) {
            return "key \"" + full + "\" cannot be written in a .reg file";
        }
        std::vector<StoredValue> values;
        const long status = store_.Values(path, &values);
        if (status != winerr::kSuccess)
            return "cannot read key \"" + full + "\": " + Reason(status);
        text_ += "[" + full + "]\r\n";
        for (const auto& value : values) {
            if (HasLineBreak(value.name)) {
                return "value name in \"" + full + "\" cannot be written in a .reg file";
            }
            WriteValue(value);
        }
        text_ += "\r\n";
        return "";
    }

    void WriteValue(const StoredValue& value) {
        std::string line = value.name.empty() ? "@=" : "\"" + Escape(value.name) + "\"=";
        const auto& data = value.data;
        if (value.type == REG_SZ && !data.empty() && data.back() == 0) {
            // Only a text that reads back to the same bytes goes in quotes.
            bool plain = true;
            for (std::size_t i = 0; plain && i + 1 < data.size(); ++i) plain = Printable(data[i]);
            if (plain) {
                text_ += line + "\"" + Escape(std::string(data.begin(), data.end() - 1)) + "\"\r\n";
                return;
            }
        }
        if (value.type == REG_DWORD && data.size() == 4) {
            char digits[9];
            std::snprintf(digits, sizeof digits, "%08x",
                          static_cast<unsigned>(data[0] | data[1] << 8 | data[2] << 16 |
                                                static_cast<std::uint32_t>(data[3]) << 24));
            text_ += line + "dword:" + digits + "\r\n";
            return;
        }
        if (value.type == REG_BINARY) {
            line += "hex:";
        } else {
            char type[16];
            std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(value.type));
            line += type;
        }
        std::vector<std::uint8_t> bytes = data;
        if (encoding_ == Encoding::Unicode5 && IsTextType(value.type)) {
            const std::string wide = Widen(std::string(data.begin(), data.end()), false);
            bytes.assign(wide.begin(), wide.end());
        }
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const bool last = i + 1 == bytes.size();
            // An item and the continuation mark must fit in the line.
            if (line.size() + 3 + 1 > kLineWidth) {
                text_ += line + "\\\r\n";
                line = "  ";
            }
            line += Hex2(bytes[i]);
            if (!last) line += ",";
        }
        text_ += line + "\r\n";
    }

    SqliteStore& store_;
    Encoding encoding_;
    std::string text_;
};

}  // namespace

char16_t Cp1252ToUnicode(std::uint8_t byte) {
    return byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : static_cast<char16_t>(byte);
}

int UnicodeToCp1252(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return unit;
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == unit) return 0x80 + i;
    }
    return -1;
}

std::string ParseRegText(std::string_view bytes, const std::string& source,
                         std::vector<Operation>* operations, std::vector<std::string>* warnings) {
    operations->clear();
    Parser parser(source, operations, warnings);
    std::string error = parser.Run(bytes);
    if (!error.empty()) operations->clear();
    return error;
}

std::string ImportRegText(SqliteStore& store, std::string_view bytes, const std::string& source,
                          std::vector<std::string>* warnings) {
    std::vector<Operation> operations;
    std::string error = ParseRegText(bytes, source, &operations, warnings);
    if (!error.empty()) return error;
    const long status = store.Batch([&]() -> long {
        for (const auto& op : operations) {
            long status = winerr::kSuccess;
            const char* what = "";
            switch (op.kind) {
                case Operation::Kind::CreateKey:
                    status = store.CreateKeyPath(op.key);
                    what = "cannot create key";
                    break;
                case Operation::Kind::DeleteKey:
                    status = store.DeleteKeyTree(op.key);
                    if (status == winerr::kFileNotFound) status = winerr::kSuccess;
                    what = "cannot delete key";
                    break;
                case Operation::Kind::SetValue:
                    status = store.PutValue(op.key, op.name, op.type, op.data);
                    what = "cannot write value";
                    break;
                case Operation::Kind::DeleteValue:
                    status = store.RemoveValue(op.key, op.name);
                    if (status == winerr::kFileNotFound) status = winerr::kSuccess;
                    what = "cannot delete value";
                    break;
            }
            if (status != winerr::kSuccess) {
                error =
                    source + ":" + std::to_string(op.line) + ": " + what + ": " + Reason(status);
                return status;
            }
        }
        return winerr::kSuccess;
    });
    // A failed commit leaves no line to blame.
    if (status != winerr::kSuccess && error.empty()) {
        error = source + ": cannot write the store: " + Reason(status);
    }
    return error;
}

std::string ImportRegFile(SqliteStore& store, const std::string& path,
                          std::vector<std::string>* warnings) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot read \"" + path + "\": " + std::strerror(errno);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (in.bad()) return "cannot read \"" + path + "\"";
    return ImportRegText(store, bytes, path, warnings);
}

std::string ExportRegText(SqliteStore& store, const std::string& key, Encoding encoding,
                          std::string* out) {
    Exporter exporter(store, encoding);
    return exporter.Run(key, out);
}

std::string ExportRegFile(SqliteStore& store, const std::string& path, const std::string& key,
                          Encoding encoding) {
    std::string text;
    std::string error = ExportRegText(store, key, encoding, &text);
    if (!error.empty()) return error;
    // Written beside and renamed over, so that a failed export leaves no half file.
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return "cannot write \"" + path + "\": " + std::strerror(errno);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            std::remove(temporary.c_str());
            return "cannot write \"" + path + "\"";
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(temporary.c_str());
        return "cannot write \"" + path + "\": " + reason;
    }
    return "";
}

}  // namespace platform::regedit
