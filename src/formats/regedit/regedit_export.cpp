#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "formats/regedit/regedit.h"
#include "formats/regedit/regedit_format.h"
#include "registry/registry_tree.h"
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
    Exporter(RegistryTree& store, Encoding encoding) : store_(store), encoding_(encoding) {}

    // The keys that exist of several, each with its subkeys; an error when none does.
    std::string RunMany(const std::vector<std::string>& keys, std::string* out) {
        text_ = std::string(encoding_ == Encoding::Regedit4 ? kHeader4 : kHeader5) + "\r\n\r\n";
        std::string names;
        bool any = false;
        for (const auto& key : keys) {
            const std::string stored = store_.StoredKeyPath(key);
            names += std::string(names.empty() ? "" : ", ") + kRoot + "\\" + key;
            if (stored.empty()) continue;
            any = true;
            const std::string error = WriteTree(stored);
            if (!error.empty()) return error;
        }
        if (!any) return "none of the keys " + names + " was found";
        *out = encoding_ == Encoding::Regedit4 ? text_ : Widen(text_, true);
        return "";
    }

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
            const char16_t unit = cp1252::ToUnicode(static_cast<std::uint8_t>(c));
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

    RegistryTree& store_;
    Encoding encoding_;
    std::string text_;
};

}  // namespace

std::string ExportRegText(RegistryTree& store, const std::string& key, Encoding encoding,
                          std::string* out) {
    Exporter exporter(store, encoding);
    return exporter.Run(key, out);
}

std::string ExportRegText(RegistryTree& store, const std::vector<std::string>& keys,
                          Encoding encoding, std::string* out) {
    Exporter exporter(store, encoding);
    return exporter.RunMany(keys, out);
}

std::string WriteRegFile(const std::string& path, const std::string& text) {
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

std::string ExportRegFile(RegistryTree& store, const std::string& path, const std::string& key,
                          Encoding encoding) {
    std::string text;
    const std::string error = ExportRegText(store, key, encoding, &text);
    return error.empty() ? WriteRegFile(path, text) : error;
}

}  // namespace platform::regedit
