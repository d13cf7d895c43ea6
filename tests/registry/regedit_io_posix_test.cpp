// Applying a regedit file to a registry: all of it or, when the registry fails underneath,
// none of it; entries the registry refuses (as an XP installation's hives refuse to delete what
// Windows needs to boot) are skipped and named, and the rest is applied. Each case runs on a
// store behind a registry that fails or refuses on demand, with the file in both forms.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "registry/regedit_io.h"
#include "registry/sqlite/sqlite_store.h"
#include "text/cp1252.h"

namespace {

using namespace platform;
namespace fs = std::filesystem;

// A registry in front of another whose writes fail underneath from the Nth on (after the write
// was made, so that only the group's rollback can take it back), whose commit can fail, and
// which refuses named keys and values as a registry of its own would.
class FailingTree : public RegistryTree {
  public:
    explicit FailingTree(RegistryTree& inner) : inner_(inner) {}

    int failFrom = -1;  // the write (counted from 0) that fails first; -1: none
    bool failCommit = false;
    std::set<std::string> refuseCreate, refuseDelete;  // key paths: access denied
    std::map<std::string, long> refuseValue;           // value names: the status given
    int writes = 0;
    std::vector<std::string> attempted;  // every write asked for, as "op path[\name]"

    bool read_only() const override { return inner_.read_only(); }
    std::string StoredKeyPath(const std::string& path) override {
        return inner_.StoredKeyPath(path);
    }
    long SubKeys(const std::string& path, std::vector<std::string>* names) override {
        return inner_.SubKeys(path, names);
    }
    long Values(const std::string& path, std::vector<StoredValue>* values) override {
        return inner_.Values(path, values);
    }
    long CreateKeyPath(const std::string& path) override {
        if (refuseCreate.count(path)) return winerr::kAccessDenied;
        return Write("create " + path, inner_.CreateKeyPath(path));
    }
    long DeleteKeyTree(const std::string& path) override {
        if (refuseDelete.count(path)) return winerr::kAccessDenied;
        return Write("delete " + path, inner_.DeleteKeyTree(path));
    }
    long PutValue(const std::string& path, const std::string& name, std::uint32_t type,
                  const std::vector<std::uint8_t>& data) override {
        if (refuseValue.count(name)) return refuseValue[name];
        return Write("put " + path + "\\" + name, inner_.PutValue(path, name, type, data));
    }
    long RemoveValue(const std::string& path, const std::string& name) override {
        return Write("remove " + path + "\\" + name, inner_.RemoveValue(path, name));
    }
    long AllOrNone(const std::function<long()>& body) override {
        return inner_.AllOrNone([&] {
            const long status = body();
            return status == winerr::kSuccess && failCommit ? winerr::kRegistryIoFailed : status;
        });
    }
    void OnWriteFailure(std::function<void(const std::string&)> listener) override {
        inner_.OnWriteFailure(std::move(listener));
    }
    long OpenKey(HKey root, const std::string& path, std::uint32_t access, HKey* out) override {
        return inner_.OpenKey(root, path, access, out);
    }
    long CreateKeyEx(HKey root, const std::string& path, std::uint32_t options,
                     std::uint32_t access, HKey* out) override {
        return inner_.CreateKeyEx(root, path, options, access, out);
    }
    long CreateKey(HKey root, const std::string& path, HKey* out) override {
        return inner_.CreateKey(root, path, out);
    }
    long QueryValue(HKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override {
        return inner_.QueryValue(key, name, type, data, size);
    }
    long SetValue(HKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override {
        return inner_.SetValue(key, name, type, data, size);
    }
    long DeleteValue(HKey key, const std::string& name) override {
        return inner_.DeleteValue(key, name);
    }
    long CloseKey(HKey key) override { return inner_.CloseKey(key); }

  private:
    long Write(const std::string& what, long status) {
        attempted.push_back(what);
        if (failFrom >= 0 && writes++ >= failFrom) return winerr::kRegistryIoFailed;
        return status;
    }

    RegistryTree& inner_;
};

// Every key as "path\" and value as "path\name=type:bytes", for comparing whole registries.
void Collect(RegistryTree& tree, const std::string& path, std::vector<std::string>* out) {
    out->push_back(path + "\\");
    std::vector<StoredValue> values;
    ASSERT_EQ(tree.Values(path, &values), 0);
    for (const auto& value : values) {
        std::string line = path + "\\" + value.name + "=" + std::to_string(value.type) + ":";
        for (const std::uint8_t byte : value.data) line += std::to_string(byte) + " ";
        out->push_back(line);
    }
    std::vector<std::string> children;
    ASSERT_EQ(tree.SubKeys(path, &children), 0);
    for (const auto& child : children)
        Collect(tree, path.empty() ? child : path + "\\" + child, out);
}

std::vector<std::string> Contents(RegistryTree& tree) {
    std::vector<std::string> out;
    Collect(tree, "", &out);
    return out;
}

// The same file as REGEDIT4 and as a UTF-16 5.00 file (its bodies hold no string types' hex).
std::vector<std::pair<const char*, std::string>> BothForms(const std::string& body) {
    std::string wide = "\xFF\xFE";
    for (const char c : "Windows Registry Editor Version 5.00\r\n" + body) {
        const char16_t unit = cp1252::ToUnicode(static_cast<std::uint8_t>(c));
        wide.push_back(static_cast<char>(unit & 0xFF));
        wide.push_back(static_cast<char>(unit >> 8));
    }
    return {{"REGEDIT4", "REGEDIT4\r\n" + body}, {"5.00", wide}};
}

class RegeditApply : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/calvenor-regedit-io-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A store holding the machine every case starts from.
    std::unique_ptr<SqliteStore> Machine() {
        std::string error;
        auto store =
            SqliteStore::Open((dir_ / ("m" + std::to_string(n_++) + ".db")).string(), &error);
        EXPECT_NE(store, nullptr) << error;
        if (!store) return store;
        EXPECT_EQ(
            ImportRegText(
                *store,
                "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n\"Current\"=dword:1\r\n"
                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n\"Gone\"=dword:2\r\n\"Kept\"=\"k\"\r\n",
                "machine.reg", nullptr),
            "");
        return store;
    }

    fs::path dir_;
    int n_ = 0;
};

// Six writes, one a line from line 2 on.
const std::string kFile =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Aureal]\r\n\"Level\"=dword:00000007\r\n"
    "\"Name\"=\"Vortex\"\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"
    "[HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n\"Current\"=-\r\n";

TEST_F(RegeditApply, AFailureUnderneathLeavesTheRegistryAsItWas) {
    const char* const kActions[] = {"create key", "write value", "write value",
                                    "delete key", "create key",  "delete value"};
    for (const auto& [form, file] : BothForms(kFile)) {
        for (int fail = 0; fail <= 6; ++fail) {
            SCOPED_TRACE(std::string(form) + ", the write that fails: " + std::to_string(fail));
            auto store = Machine();
            ASSERT_TRUE(store);
            const std::vector<std::string> before = Contents(*store);
            FailingTree tree(*store);
            tree.failFrom = fail;
            std::vector<std::string> skipped = {"stale"};
            const std::string error = ImportRegText(tree, file, "test.reg", &skipped);
            if (fail == 6) {
                EXPECT_EQ(error, "");
                EXPECT_TRUE(skipped.empty());
                EXPECT_EQ(
                    Contents(*store),
                    (std::vector<std::string>{"\\", "SOFTWARE\\", "SOFTWARE\\Aureal\\",
                                              "SOFTWARE\\Aureal\\Level=4:7 0 0 0 ",
                                              "SOFTWARE\\Aureal\\Name=1:86 111 114 116 101 120 0 ",
                                              "SYSTEM\\", "SYSTEM\\Select\\"}));
                continue;
            }
            EXPECT_EQ(error, "test.reg:" + std::to_string(fail + 2) + ": cannot " + kActions[fail] +
                                 ": the registry failed underneath");
            EXPECT_TRUE(skipped.empty());
            EXPECT_EQ(Contents(*store), before);
        }
    }
}

TEST_F(RegeditApply, AFailedCommitLeavesTheRegistryAsItWas) {
    for (const auto& [form, file] : BothForms(kFile)) {
        SCOPED_TRACE(form);
        auto store = Machine();
        ASSERT_TRUE(store);
        const std::vector<std::string> before = Contents(*store);
        FailingTree tree(*store);
        tree.failCommit = true;
        EXPECT_EQ(ImportRegText(tree, file, "test.reg", nullptr),
                  "test.reg: cannot write the store: the registry failed underneath");
        EXPECT_EQ(Contents(*store), before);
    }
}

TEST_F(RegeditApply, EntriesTheRegistryRefusesAreSkippedAndNamed) {
    const std::string body =
        "[-HKEY_LOCAL_MACHINE\\SYSTEM\\Select]\r\n"     // 2: the registry keeps it
        "[HKEY_LOCAL_MACHINE\\HARDWARE\\Card]\r\n"      // 3: no key can be made there
        "\"Irq\"=dword:5\r\n"                           // 4: goes with its key, unasked
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Old]\r\n"       // 5
        "\"Big\"=hex:01\r\n"                            // 6: too long for the hive
        "\"Bad\"=dword:1\r\n"                           // 7: a name it does not take
        "\"Gone\"=-\r\n"                                // 8
        "\"Fine\"=dword:3\r\n"                          // 9
        "\"Broken\"=dword:\r\n"                         // 10: skipped by the reading
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Absent]\r\n";  // 11: nothing to delete is no fault
    for (const auto& [form, file] : BothForms(body)) {
        SCOPED_TRACE(form);
        auto store = Machine();
        ASSERT_TRUE(store);
        FailingTree tree(*store);
        tree.refuseDelete = {"SYSTEM\\Select"};
        tree.refuseCreate = {"HARDWARE\\Card"};
        tree.refuseValue = {{"Big", winerr::kCantWrite}, {"Bad", winerr::kInvalidParameter}};
        std::vector<std::string> skipped;
        ASSERT_EQ(ImportRegText(tree, file, "test.reg", &skipped), "");
        EXPECT_EQ(
            skipped,
            (std::vector<std::string>{
                "test.reg:2: key [HKEY_LOCAL_MACHINE\\SYSTEM\\Select] not deleted: this "
                "registry keeps it",
                "test.reg:3: key [HKEY_LOCAL_MACHINE\\HARDWARE\\Card] skipped with the values "
                "under it: no key can be made there in this registry",
                "test.reg:6: value \"Big\" not written: the key cannot be written without "
                "damage (a value longer than 16344 bytes)",
                "test.reg:7: value \"Bad\" not written: the registry does not take this name",
                "test.reg:10: value \"Broken\" skipped: dword data must be 1 to 8 hexadecimal "
                "digits"}));
        EXPECT_EQ(tree.attempted,
                  (std::vector<std::string>{"create SOFTWARE\\Old", "remove SOFTWARE\\Old\\Gone",
                                            "put SOFTWARE\\Old\\Fine", "delete SOFTWARE\\Absent"}));
        EXPECT_EQ(Contents(*store),
                  (std::vector<std::string>{
                      "\\", "SOFTWARE\\", "SOFTWARE\\Old\\", "SOFTWARE\\Old\\Fine=4:3 0 0 0 ",
                      "SOFTWARE\\Old\\Kept=1:107 0 ", "SYSTEM\\", "SYSTEM\\Select\\",
                      "SYSTEM\\Select\\Current=4:1 0 0 0 "}));
    }
}

TEST_F(RegeditApply, ARegistryThatTakesNoWritesFailsTheImport) {
    auto store = Machine();
    ASSERT_TRUE(store);
    const std::string path = store->path();
    store.reset();
    std::string error;
    auto locked = SqliteStore::Open(path, &error, SqliteStore::Access::ReadOnly);
    ASSERT_TRUE(locked) << error;
    const std::vector<std::string> before = Contents(*locked);
    for (const auto& [form, file] : BothForms("\"Early\"=dword:1\r\n" + kFile)) {
        SCOPED_TRACE(form);
        std::vector<std::string> skipped;
        EXPECT_EQ(ImportRegText(*locked, file, "ro.reg", &skipped),
                  "ro.reg:3: cannot create key: access denied (the store is read-only)");
        EXPECT_TRUE(skipped.empty());
        EXPECT_EQ(Contents(*locked), before);
    }
}

}  // namespace
