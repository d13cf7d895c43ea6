// libFuzzer target for the regedit file reader and writer alone, in both encodings. The first
// input byte chooses how the rest is read: 0 as a whole file (the reader tells the encoding),
// 1 as the body of a "REGEDIT4" file, 2 as the UTF-16LE body of a 5.00 file (header and
// byte-order mark added). Any input must be read, or refused whole with nothing in it kept;
// what is read is applied to a registry held here, written in both encodings, and each file
// written must read back, skipping nothing, to the very same keys and values.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "formats/regedit/regedit.h"

namespace {

namespace regedit = platform::regedit;
using regedit::Entry;

// Inputs with keys nested deeper than this are read but not written: each level of the model
// holds its whole path, which would hold the fuzzer on a few deep inputs.
constexpr std::size_t kRoundTripDepth = 32;

void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

std::string Widen(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

std::string Compose(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return "";
    const std::string body(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
        case 1:
            return "REGEDIT4\r\n" + body;
        case 2:
            return "\xFF\xFE" + Widen("Windows Registry Editor Version 5.00\r\n") +
                   body.substr(0, body.size() & ~std::size_t{1});
        default:
            return body;
    }
}

std::string Fold(const std::string& text) {
    std::string folded = text;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

// A registry as the files assume one: names compared without regard to ASCII case, a key and
// a value keeping the spelling they were first made with.
class Model {
  public:
    struct Value {
        std::string name;
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
        bool operator==(const Value&) const = default;
    };
    struct Key {
        std::string path;
        std::map<std::string, Value> values;  // by folded name
        bool operator==(const Key&) const = default;
    };

    Model() { keys_[""] = Key{}; }

    void Apply(const std::vector<Entry>& entries) {
        for (const Entry& entry : entries) {
            switch (entry.kind) {
                case Entry::Kind::CreateKey:
                    Create(entry.key);
                    break;
                case Entry::Kind::DeleteKey:
                    Delete(Fold(entry.key));
                    break;
                case Entry::Kind::SetValue: {
                    Value& value = Find(entry.key).values[Fold(entry.name)];
                    if (value.name.empty()) value.name = entry.name;
                    value.type = entry.type;
                    value.data = entry.data;
                    break;
                }
                case Entry::Kind::DeleteValue:
                    Find(entry.key).values.erase(Fold(entry.name));
                    break;
                case Entry::Kind::Skipped:
                    break;
            }
        }
    }

    // The file of every key, parents before children; "" when a name cannot be written.
    std::string Write(regedit::Encoding encoding) const {
        regedit::RegWriter writer(encoding);
        for (const auto& [folded, key] : keys_) {
            if (!writer.Key(key.path).empty()) return "";
            for (const auto& [name, value] : key.values) {
                if (!writer.Value(value.name, value.type, value.data).empty()) return "";
            }
        }
        return writer.Finish();
    }

    bool operator==(const Model&) const = default;

  private:
    void Create(const std::string& path) {
        if (path.empty()) return;
        std::string stored;  // the spelling of the parent
        std::size_t start = 0;
        while (true) {
            const std::size_t end = path.find('\\', start);
            const std::string name = path.substr(start, end - start);
            const std::string given = stored.empty() ? name : stored + "\\" + name;
            const auto [it, made] = keys_.try_emplace(Fold(given));
            if (made) it->second.path = given;
            stored = it->second.path;
            if (end == std::string::npos) return;
            start = end + 1;
        }
    }

    void Delete(const std::string& folded) {
        keys_.erase(folded);
        const std::string under = folded + "\\";
        auto it = keys_.lower_bound(under);
        while (it != keys_.end() && it->first.rfind(under, 0) == 0) it = keys_.erase(it);
    }

    Key& Find(const std::string& path) {
        const auto it = keys_.find(Fold(path));
        if (it == keys_.end()) Fail("a value before its key was made", path);
        return it->second;
    }

    std::map<std::string, Key> keys_;  // by folded path
};

std::size_t Depth(const std::vector<Entry>& entries) {
    std::size_t deepest = 0;
    for (const auto& entry : entries) {
        deepest =
            std::max(deepest, std::size_t(std::count(entry.key.begin(), entry.key.end(), '\\')));
    }
    return deepest + 1;
}

void CheckEntries(const regedit::RegFile& file) {
    if (!file.error.empty()) {
        if (!file.entries.empty()) Fail("entries kept from a refused file", file.error);
        return;
    }
    int line = 2;
    for (const auto& entry : file.entries) {
        // Entries come in file order, after the header, each naming its line.
        if (entry.line < line) Fail("entry out of file order", entry.key);
        line = entry.line;
        if (entry.key.find('\0') != std::string::npos) Fail("NUL in a key path", entry.key);
        if (entry.name.find('\0') != std::string::npos) Fail("NUL in a value name", entry.key);
        if (entry.kind == Entry::Kind::DeleteKey && entry.key.empty()) Fail("the root deleted", "");
        if ((entry.kind == Entry::Kind::Skipped) == entry.reason.empty()) {
            Fail("a skipped entry without its reason, or a reason on another", entry.reason);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const regedit::RegFile file = regedit::ParseRegText(Compose(data, size));
    CheckEntries(file);
    if (!file.error.empty() || Depth(file.entries) > kRoundTripDepth) return 0;
    Model model;
    model.Apply(file.entries);
    for (const auto encoding : {regedit::Encoding::Regedit4, regedit::Encoding::Unicode5}) {
        // Names with line breaks cannot be written; the writer says so and that is all.
        const std::string written = model.Write(encoding);
        if (written.empty()) continue;
        const regedit::RegFile again = regedit::ParseRegText(written);
        if (!again.error.empty()) Fail("a written file is refused", again.error + "\n" + written);
        for (const auto& entry : again.entries) {
            if (entry.kind == Entry::Kind::Skipped)
                Fail("a written entry is skipped", entry.reason);
        }
        Model back;
        back.Apply(again.entries);
        if (!(back == model)) Fail("keys or values differ after writing and reading", written);
    }
    return 0;
}
