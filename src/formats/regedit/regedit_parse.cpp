#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "formats/regedit/regedit.h"
#include "formats/regedit/regedit_format.h"
#include "registry/registry_tree.h"
#include "text/ascii.h"
#include "text/cp1252.h"

namespace platform::regedit {

namespace format {

Root RootOf(std::string_view name) {
    if (ascii::EqualNoCase(name, kRoot) || ascii::EqualNoCase(name, "HKLM")) {
        return Root::LocalMachine;
    }
    static const char* const kOtherRoots[] = {
        "HKEY_CLASSES_ROOT", "HKCR", "HKEY_CURRENT_USER",     "HKCU",
        "HKEY_USERS",        "HKU",  "HKEY_CURRENT_CONFIG",   "HKCC",
        "HKEY_DYN_DATA",     "HKDD", "HKEY_PERFORMANCE_DATA",
    };
    for (const char* other : kOtherRoots) {
        if (ascii::EqualNoCase(name, other)) return Root::Other;
    }
    return Root::Unknown;
}

std::string Reason(long status) {
    switch (status) {
        case winerr::kAccessDenied:
            return "access denied (the store is read-only)";
        case winerr::kBadPathname:
            return "bad key path";
        case winerr::kInvalidParameter:
            return "invalid name";
        case winerr::kCantWrite:
            return "the key cannot be written without damage (a value longer than 16344 bytes)";
        case winerr::kRegistryIoFailed:
            return "the registry could not be written (see above)";
        default:
            return "store error " + std::to_string(status);
    }
}

}  // namespace format

namespace {

using namespace format;

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

// "" when every name between backslashes of a key path is there and holds no NUL.
std::string CheckNames(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) return "NUL character in key path";
    if (path.empty()) return "";
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find('\\', start);
        const std::size_t length = (end == std::string_view::npos ? path.size() : end) - start;
        if (length == 0) return "empty name in key path";
        if (end == std::string_view::npos) return "";
        start = end + 1;
    }
}

struct Line {
    int number = 0;
    std::string text;  // Windows-1252
};

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
                const int byte = cp1252::FromUnicode(unit);
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
        switch (RootOf(root)) {
            case Root::LocalMachine:
                break;
            case Root::Other:
                if (warnings_) {
                    warnings_->push_back(At(number, "skipped key outside " + std::string(kRoot) +
                                                        ": " + std::string(text)));
                }
                section_ = Section::Skipped;
                return "";
            case Root::Unknown:
                return At(number, "unknown root key \"" + std::string(root) + "\"");
        }
        if (const std::string error = CheckNames(rest); !error.empty()) return At(number, error);
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
        } else if (ascii::StartsWithNoCase(data, "dword:")) {
            std::string_view digits = data.substr(6);
            std::size_t count = 0;
            std::uint32_t number32 = 0;
            while (count < digits.size() && ascii::HexDigit(digits[count]) >= 0) {
                number32 =
                    number32 * 16 + static_cast<std::uint32_t>(ascii::HexDigit(digits[count]));
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
        } else if (ascii::StartsWithNoCase(data, "hex")) {
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
            while (pos < data.size() && ascii::HexDigit(data[pos]) >= 0) {
                type = type * 16 + static_cast<std::uint32_t>(ascii::HexDigit(data[pos]));
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
                while (at < chunk.size() && digits < 2 && ascii::HexDigit(chunk[at]) >= 0) {
                    byte = byte * 16 + ascii::HexDigit(chunk[at]);
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
                    cp1252::FromUnicode(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
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

}  // namespace

std::string ParseKeyName(std::string_view name, std::string* path) {
    const std::string given(name);
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
    }
    const std::size_t slash = name.find('\\');
    const std::string_view first = name.substr(0, slash);
    std::string_view rest = name;
    switch (RootOf(first)) {
        case Root::LocalMachine:
            rest = slash == std::string_view::npos ? std::string_view() : name.substr(slash + 1);
            break;
        case Root::Other:
            return "key \"" + given + "\" is not under " + kRoot +
                   ", the only root kept here (HKLM)";
        case Root::Unknown:
            if (ascii::StartsWithNoCase(first, "HKEY_")) {
                return "key \"" + given + "\": unknown root key \"" + std::string(first) + "\"";
            }
            break;  // a bare path under HKEY_LOCAL_MACHINE
    }
    // One trailing backslash is allowed, as the registry functions allow it.
    if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
    if (const std::string error = CheckNames(rest); !error.empty()) {
        return "key \"" + given + "\": " + error;
    }
    path->assign(rest);
    return "";
}

std::string ParseRegText(std::string_view bytes, const std::string& source,
                         std::vector<Operation>* operations, std::vector<std::string>* warnings) {
    operations->clear();
    Parser parser(source, operations, warnings);
    std::string error = parser.Run(bytes);
    if (!error.empty()) operations->clear();
    return error;
}

std::string ImportRegText(RegistryTree& store, std::string_view bytes, const std::string& source,
                          std::vector<std::string>* warnings) {
    std::vector<Operation> operations;
    std::string error = ParseRegText(bytes, source, &operations, warnings);
    if (!error.empty()) return error;
    const long status = store.AllOrNone([&]() -> long {
        for (const auto& op : operations) {
            long status = winerr::kSuccess;
            const char* what = "";
            switch (op.kind) {
                case Operation::Kind::CreateKey:
                    status = store.CreateKeyPath(op.key);
                    what = "cannot create key";
                    break;
                case Operation::Kind::DeleteKey:
                    if (store.NeededToStart(op.key)) {
                        if (warnings) {
                            warnings->push_back(
                                source + ":" + std::to_string(op.line) +
                                ": skipped deleting a key Windows needs to start: [-" +
                                std::string(kRoot) + (op.key.empty() ? "" : "\\") + op.key + "]");
                        }
                        continue;
                    }
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
                error = source + ":" + std::to_string(op.line) + ": " + what + ": " +
                        (status == winerr::kAccessDenied && !store.read_only()
                             ? "access denied (no key can be made there in this registry)"
                             : Reason(status));
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

std::string ImportRegFile(RegistryTree& store, const std::string& path,
                          std::vector<std::string>* warnings) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot read \"" + path + "\": " + std::strerror(errno);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (in.bad()) return "cannot read \"" + path + "\"";
    return ImportRegText(store, bytes, path, warnings);
}

}  // namespace platform::regedit
