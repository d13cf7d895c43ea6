#include "registry/regedit_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "text/cp1252.h"

namespace platform {

namespace {

using regedit::Entry;
using namespace winerr;

static_assert(regedit::type::kNone == REG_NONE && regedit::type::kSz == REG_SZ &&
              regedit::type::kExpandSz == REG_EXPAND_SZ && regedit::type::kBinary == REG_BINARY &&
              regedit::type::kDword == REG_DWORD && regedit::type::kMultiSz == REG_MULTI_SZ);

constexpr const char* kRoot = "HKEY_LOCAL_MACHINE";

// A status that refuses one entry, which is then skipped: any other is the registry failing
// underneath.
bool IsRefusal(long status) {
    return status == kAccessDenied || status == kInvalidParameter || status == kBadPathname ||
           status == kCantWrite || status == kFileNotFound;
}

std::string Why(long status) {
    switch (status) {
        case kAccessDenied:
            return "access denied";
        case kInvalidParameter:
            return "the registry does not take this name";
        case kBadPathname:
            return "bad key path";
        case kCantWrite:
            return "the key cannot be written without damage (a value longer than 16344 bytes)";
        case kFileNotFound:
            return "its key is missing";
        case kRegistryIoFailed:
            return "the registry failed underneath";
        default:
            return "registry error " + std::to_string(status);
    }
}

std::string KeyName(const std::string& path) {
    return "[" + std::string(kRoot) + (path.empty() ? "" : "\\") + cp1252::ToUtf8(path) + "]";
}

std::string ValueName(const std::string& name) {
    return name.empty() ? "default value (@)" : "value \"" + cp1252::ToUtf8(name) + "\"";
}

// An entry the registry refused, in words.
std::string Refused(const Entry& entry, long status) {
    switch (entry.kind) {
        case Entry::Kind::CreateKey:
            return "key " + KeyName(entry.key) + " skipped with the values under it: " +
                   (status == kAccessDenied ? "no key can be made there in this registry"
                                            : Why(status));
        case Entry::Kind::DeleteKey:
            return "key " + KeyName(entry.key) + " not deleted: " +
                   (status == kAccessDenied ? "this registry keeps it" : Why(status));
        case Entry::Kind::SetValue:
            return ValueName(entry.name) + " not written: " + Why(status);
        default:
            return ValueName(entry.name) + " not deleted: " + Why(status);
    }
}

const char* Action(Entry::Kind kind) {
    switch (kind) {
        case Entry::Kind::CreateKey:
            return "create key";
        case Entry::Kind::DeleteKey:
            return "delete key";
        case Entry::Kind::SetValue:
            return "write value";
        default:
            return "delete value";
    }
}

class Applier {
  public:
    Applier(RegistryTree& tree, const std::string& source) : tree_(tree), source_(source) {}

    // kSuccess, or the status that failed (with error_ set when an entry's write failed).
    long Run(const std::vector<Entry>& entries) {
        for (const Entry& entry : entries) {
            const long status = Apply(entry);
            if (status != kSuccess) return status;
        }
        return kSuccess;
    }

    std::vector<std::string> skipped;
    std::string error;

  private:
    std::string At(int line) const { return source_ + ":" + std::to_string(line) + ": "; }

    long Apply(const Entry& entry) {
        if (entry.kind == Entry::Kind::Skipped) {
            skipped.push_back(At(entry.line) + entry.reason);
            return kSuccess;
        }
        // An installation's control sets, Select and the hives' top-level keys stay, whatever a
        // file says: without them Windows does not start.
        if (entry.kind == Entry::Kind::DeleteKey && tree_.NeededToStart(entry.key)) {
            skipped.push_back(At(entry.line) + "skipped deleting a key Windows needs to start: [-" +
                              KeyName(entry.key).substr(1));
            keyRefused_ = false;
            return kSuccess;
        }
        const long status = Write(entry);
        if (status == kSuccess) return kSuccess;
        // A registry that takes no writes at all fails the import; others refuse one entry.
        if (IsRefusal(status) && !tree_.read_only()) {
            skipped.push_back(At(entry.line) + Refused(entry, status));
            keyRefused_ = entry.kind == Entry::Kind::CreateKey;
            return kSuccess;
        }
        error = At(entry.line) + "cannot " + Action(entry.kind) + ": " +
                (tree_.read_only() ? "access denied (the store is read-only)" : Why(status));
        return status;
    }

    long Write(const Entry& entry) {
        long status = kSuccess;
        switch (entry.kind) {
            case Entry::Kind::CreateKey:
                keyRefused_ = false;
                return tree_.CreateKeyPath(entry.key);
            case Entry::Kind::DeleteKey:
                keyRefused_ = false;
                status = tree_.DeleteKeyTree(entry.key);
                return status == kFileNotFound ? kSuccess : status;
            case Entry::Kind::SetValue:
                // The values under a key the registry refused went with it.
                return keyRefused_ ? kSuccess
                                   : tree_.PutValue(entry.key, entry.name, entry.type, entry.data);
            default:
                if (keyRefused_) return kSuccess;
                status = tree_.RemoveValue(entry.key, entry.name);
                return status == kFileNotFound ? kSuccess : status;
        }
    }

    RegistryTree& tree_;
    const std::string& source_;
    bool keyRefused_ = false;
};

// Walks keys into a writer: each key, then its values, then its subkeys.
class Exporter {
  public:
    Exporter(RegistryTree& tree, regedit::Encoding encoding) : tree_(tree), writer_(encoding) {}

    // The root's values, when it has any, and every key.
    std::string Everything() {
        std::vector<StoredValue> values;
        long status = tree_.Values("", &values);
        if (status != kSuccess) return "cannot read the store: " + Why(status);
        if (!values.empty()) {
            if (const std::string error = Key(""); !error.empty()) return error;
        }
        std::vector<std::string> children;
        status = tree_.SubKeys("", &children);
        if (status != kSuccess) return "cannot read the store: " + Why(status);
        for (const auto& child : children) {
            if (const std::string error = Tree(child); !error.empty()) return error;
        }
        return "";
    }

    std::string Tree(const std::string& path) {
        if (std::string error = Key(path); !error.empty()) return error;
        std::vector<std::string> children;
        const long status = tree_.SubKeys(path, &children);
        if (status != kSuccess) return "cannot read key \"" + path + "\": " + Why(status);
        for (const auto& child : children) {
            if (std::string error = Tree(path + "\\" + child); !error.empty()) return error;
        }
        return "";
    }

    std::string Finish() const { return writer_.Finish(); }

  private:
    std::string Key(const std::string& path) {
        std::vector<StoredValue> values;
        const long status = tree_.Values(path, &values);
        if (status != kSuccess) {
            return "cannot read key \"" + std::string(kRoot) + (path.empty() ? "" : "\\") + path +
                   "\": " + Why(status);
        }
        std::string error = writer_.Key(path);
        for (std::size_t i = 0; error.empty() && i < values.size(); ++i) {
            error = writer_.Value(values[i].name, values[i].type, values[i].data);
        }
        return error;
    }

    RegistryTree& tree_;
    regedit::RegWriter writer_;
};

}  // namespace

std::string ApplyRegEntries(RegistryTree& tree, const std::vector<Entry>& entries,
                            const std::string& source, std::vector<std::string>* skipped) {
    Applier applier(tree, source);
    const long status = tree.AllOrNone([&] { return applier.Run(entries); });
    if (status == kSuccess) {
        if (skipped) *skipped = std::move(applier.skipped);
        return "";
    }
    if (skipped) skipped->clear();
    // A failed commit leaves no line to blame.
    return applier.error.empty() ? source + ": cannot write the store: " + Why(status)
                                 : applier.error;
}

std::string ImportRegText(RegistryTree& tree, std::string_view bytes, const std::string& source,
                          std::vector<std::string>* skipped) {
    if (skipped) skipped->clear();
    const regedit::RegFile file = regedit::ParseRegText(bytes);
    if (!file.error.empty()) {
        return source + (file.errorLine > 0 ? ":" + std::to_string(file.errorLine) : "") + ": " +
               file.error;
    }
    return ApplyRegEntries(tree, file.entries, source, skipped);
}

std::string ImportRegFile(RegistryTree& tree, const std::string& path,
                          std::vector<std::string>* skipped) {
    if (skipped) skipped->clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot read \"" + path + "\": " + std::strerror(errno);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    if (in.bad()) return "cannot read \"" + path + "\"";
    return ImportRegText(tree, bytes, path, skipped);
}

std::string ExportRegText(RegistryTree& tree, const std::string& key, regedit::Encoding encoding,
                          std::string* out) {
    Exporter exporter(tree, encoding);
    std::string error;
    if (key.empty()) {
        error = exporter.Everything();
    } else {
        const std::string stored = tree.StoredKeyPath(key);
        if (stored.empty()) return "key \"" + std::string(kRoot) + "\\" + key + "\" not found";
        error = exporter.Tree(stored);
    }
    if (error.empty()) *out = exporter.Finish();
    return error;
}

std::string ExportRegText(RegistryTree& tree, const std::vector<std::string>& keys,
                          regedit::Encoding encoding, std::string* out) {
    Exporter exporter(tree, encoding);
    std::string names;
    bool any = false;
    for (const auto& key : keys) {
        const std::string stored = tree.StoredKeyPath(key);
        names += std::string(names.empty() ? "" : ", ") + kRoot + "\\" + key;
        if (stored.empty()) continue;
        any = true;
        if (const std::string error = exporter.Tree(stored); !error.empty()) return error;
    }
    if (!any) return "none of the keys " + names + " was found";
    *out = exporter.Finish();
    return "";
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

std::string ExportRegFile(RegistryTree& tree, const std::string& path, const std::string& key,
                          regedit::Encoding encoding) {
    std::string text;
    const std::string error = ExportRegText(tree, key, encoding, &text);
    return error.empty() ? WriteRegFile(path, text) : error;
}

}  // namespace platform
