// libFuzzer target for the regedit file importer, in both encodings. The first input byte
// chooses how the rest is read: 0 as a whole file (the parser tells the encoding), 1 as the
// body of a "REGEDIT4" file, 2 as the UTF-16LE body of a 5.00 file (header and byte-order
// mark added). Any input must parse or give an error naming its line. What parses is imported
// into a store, exported in both encodings, and each export must parse and import again to
// the very same keys and values.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "formats/regedit/regedit.h"
#include "fuzz_support.h"
#include "registry/sqlite/sqlite_store.h"

namespace {

using platform::SqliteStore;
using platform::StoredValue;
namespace regedit = platform::regedit;

// Files larger than this, or with keys nested deeper than this, are parsed but not imported:
// the store round trip is the slow part, and its cost grows with the square of a key's depth
// (every level stores its whole path), which would hold the fuzzer on a few deep inputs.
constexpr std::size_t kRoundTripLimit = 4096;
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

struct Store {
    explicit Store(const std::string& path) {
        std::string error;
        store = SqliteStore::Open(path, &error);
        if (!store) Fail("cannot open the scratch store", error);
    }
    // Everything under the root goes, so that each input starts from an empty store.
    void Empty() {
        store->AllOrNone([&] {
            std::vector<std::string> children;
            store->SubKeys("", &children);
            for (const auto& child : children) store->DeleteKeyTree(child);
            std::vector<StoredValue> values;
            store->Values("", &values);
            for (const auto& value : values) store->RemoveValue("", value.name);
            return 0L;
        });
    }
    std::unique_ptr<SqliteStore> store;
};

struct Scratch {
    Scratch()
        : folder(fuzz_support::ScratchFolder()),
          first(folder + "/first.db"),
          second(folder + "/second.db") {}
    ~Scratch() {
        first.store.reset();
        second.store.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    std::string folder;
    Store first;
    Store second;
};

void Walk(SqliteStore& store, const std::string& path, std::vector<std::string>* keys,
          std::vector<std::vector<StoredValue>>* values) {
    keys->push_back(path);
    values->emplace_back();
    store.Values(path, &values->back());
    std::vector<std::string> children;
    store.SubKeys(path, &children);
    for (const auto& child : children) {
        Walk(store, path.empty() ? child : path + "\\" + child, keys, values);
    }
}

// Every key, by its stored path, with its values (read in one transaction).
void Contents(SqliteStore& store, std::vector<std::string>* keys,
              std::vector<std::vector<StoredValue>>* values) {
    store.AllOrNone([&] {
        Walk(store, "", keys, values);
        return 0L;
    });
}

std::size_t Depth(const std::vector<regedit::Operation>& operations) {
    std::size_t deepest = 0;
    for (const auto& op : operations) {
        deepest = std::max(deepest, std::size_t(std::count(op.key.begin(), op.key.end(), '\\')));
    }
    return deepest + 1;
}

void CheckOperations(const std::vector<regedit::Operation>& operations) {
    using Kind = regedit::Operation::Kind;
    int line = 1;
    for (const auto& op : operations) {
        // Operations come in file order, each naming the line it came from.
        if (op.line < line) Fail("operation out of file order", op.key);
        line = op.line;
        if (op.key.find('\0') != std::string::npos) Fail("NUL in a key path", op.key);
        if (op.kind == Kind::DeleteKey && op.key.empty()) Fail("the root deleted", "");
        if (op.name.find('\0') != std::string::npos) Fail("NUL in a value name", op.key);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = Compose(data, size);
    std::vector<regedit::Operation> operations;
    std::vector<std::string> warnings;
    const std::string error = regedit::ParseRegText(text, "in.reg", &operations, &warnings);
    if (!error.empty()) {
        if (error.rfind("in.reg:", 0) != 0) Fail("error without its source", error);
        if (!operations.empty()) Fail("operations kept after an error", error);
        return 0;
    }
    CheckOperations(operations);
    if (text.size() > kRoundTripLimit || Depth(operations) > kRoundTripDepth) return 0;

    static Scratch scratch;
    scratch.first.Empty();
    if (!regedit::ImportRegText(*scratch.first.store, text, "in.reg", nullptr).empty()) return 0;
    std::vector<std::string> keys;
    std::vector<std::vector<StoredValue>> values;
    Contents(*scratch.first.store, &keys, &values);

    for (const auto encoding : {regedit::Encoding::Regedit4, regedit::Encoding::Unicode5}) {
        std::string exported;
        // Names with line breaks cannot be written; the export says so and that is all.
        if (!regedit::ExportRegText(*scratch.first.store, "", encoding, &exported).empty()) {
            continue;
        }
        scratch.second.Empty();
        const std::string again =
            regedit::ImportRegText(*scratch.second.store, exported, "out.reg", nullptr);
        if (!again.empty()) Fail("an export does not import", again + "\n" + exported);
        std::vector<std::string> keysAgain;
        std::vector<std::vector<StoredValue>> valuesAgain;
        Contents(*scratch.second.store, &keysAgain, &valuesAgain);
        if (keysAgain != keys) Fail("keys differ after export and import", exported);
        if (valuesAgain != values) Fail("values differ after export and import", exported);
    }
    return 0;
}
