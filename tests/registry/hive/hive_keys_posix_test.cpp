// The hive engine on hives it makes from empty ones of formats 1.3 and 1.5: every operation
// checked against a model of the registry, the bytes re-read by the engine, walked
// independently for Windows' order, hashes, hints and counts, and read by libhivex.
#include <gtest/gtest.h>
#include <hivex.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "registry/hive/hive_format.h"
#include "registry/hive/hive_keys.h"
#include "text/windows_names.h"

namespace {

using namespace platform;
using namespace platform::hive;
using Bytes = std::vector<std::uint8_t>;

std::unique_ptr<Hive> Fresh(std::uint32_t minor) {
    const std::string empty = MakeEmptyHive("ROOT", minor);
    std::string problem;
    auto hive = Hive::Load(Bytes(empty.begin(), empty.end()), &problem);
    EXPECT_TRUE(hive) << problem;
    return hive;
}

std::unique_ptr<Hive> Reread(const Hive& hive) {
    std::string problem;
    auto again = Hive::Load(hive.bytes(), &problem);
    EXPECT_TRUE(again) << problem;
    return again;
}

std::string Narrow(std::u16string_view name) {
    std::string out;
    for (const char16_t unit : name) {
        if (unit < 0x80) {
            out += static_cast<char>(unit);
        } else {
            char hex[12];
            std::snprintf(hex, sizeof hex, "\\u%04X", unsigned{unit});
            out += hex;
        }
    }
    return out;
}

std::u16string Upper(std::u16string_view name) {
    std::u16string upper(name);
    for (char16_t& unit : upper) unit = names::Upcase(unit);
    return upper;
}

// The hive's bytes walked without the engine: each key's subkey list in strictly ascending
// order by Windows' rule, each lh hash and lf hint that of its name, the counts and largest
// lengths a key keeps agreeing with its subkeys and values, every security descriptor counting
// the keys that use it. Returns what is wrong.
class RawWalk {
  public:
    explicit RawWalk(const Bytes& bytes) : bytes_(bytes) {}

    std::vector<std::string> Problems() {
        Key(At(0x24), 0xFFFFFFFF);
        for (const auto& [sk, users] : users_) {
            if (U32(sk, 12) != users) {
                Problem("security " + std::to_string(sk) + " counts " +
                        std::to_string(U32(sk, 12)) + " keys, " + std::to_string(users) +
                        " use it");
            }
            if (U32(U32(sk, 4), 8) != sk || U32(U32(sk, 8), 4) != sk) {
                Problem("security " + std::to_string(sk) + " is not linked both ways");
            }
        }
        return problems_;
    }

  private:
    std::uint32_t At(std::size_t offset) const {
        if (offset + 4 > bytes_.size()) return 0;
        std::uint32_t value = 0;
        std::memcpy(&value, &bytes_[offset], 4);
        return value;
    }
    // A field of a cell's data.
    std::uint32_t U32(std::uint32_t cell, std::uint32_t at) const {
        return At(0x1000 + std::size_t{cell} + 4 + at);
    }
    std::uint16_t U16(std::uint32_t cell, std::uint32_t at) const {
        return static_cast<std::uint16_t>(U32(cell, at) & 0xFFFF);
    }
    bool Allocated(std::uint32_t cell) const {
        return static_cast<std::int32_t>(At(0x1000 + std::size_t{cell})) < 0;
    }
    std::u16string Name(std::uint32_t cell, std::uint32_t lengthAt, std::uint32_t nameAt,
                        bool compressed) const {
        const std::uint16_t length = U16(cell, lengthAt);
        std::u16string name;
        const std::size_t start = 0x1000 + std::size_t{cell} + 4 + nameAt;
        for (std::uint16_t i = 0; compressed ? i < length : i + 1 < length;
             i += compressed ? 1 : 2) {
            name.push_back(compressed ? bytes_[start + i]
                                      : static_cast<char16_t>(bytes_[start + i] |
                                                              (bytes_[start + i + 1] << 8)));
        }
        return name;
    }
    void Problem(const std::string& what) { problems_.push_back(what); }

    void Key(std::uint32_t key, std::uint32_t parent) {
        if (!Allocated(key) || U16(key, 0) != ('n' | ('k' << 8))) {
            Problem("no key at " + std::to_string(key));
            return;
        }
        if (parent != 0xFFFFFFFF && U32(key, 16) != parent) Problem("wrong parent");
        ++users_[U32(key, 44)];
        const std::u16string path = Name(key, 72, 76, U16(key, 2) & 0x20);
        // Values: the largest name and data lengths cover every value.
        const std::uint32_t values = U32(key, 36);
        for (std::uint32_t i = 0; i < values; ++i) {
            const std::uint32_t value = U32(U32(key, 40), 4 * i);
            const std::u16string name = Name(value, 2, 20, U16(value, 16) & 1);
            if (U32(key, 60) < name.size() * 2) Problem("largest value name " + Narrow(path));
            if (U32(key, 64) < (U32(value, 4) & 0x7FFFFFFF)) {
                Problem("largest value data " + Narrow(path));
            }
            // Names stored one byte a character exactly where they are Latin-1.
            const bool latin1 =
                std::all_of(name.begin(), name.end(), [](char16_t c) { return c <= 0xFF; });
            if (((U16(value, 16) & 1) != 0) != latin1) Problem("value name form " + Narrow(name));
        }
        const std::uint32_t count = U32(key, 20);
        if (count == 0) return;
        std::vector<std::uint32_t> leaves;
        const std::uint32_t list = U32(key, 28);
        if (U16(list, 0) == ('r' | ('i' << 8))) {
            for (std::uint16_t i = 0; i < U16(list, 2); ++i) leaves.push_back(U32(list, 4 + 4 * i));
        } else {
            leaves.push_back(list);
        }
        std::u16string previous;
        std::uint32_t seen = 0;
        for (const std::uint32_t leaf : leaves) {
            const std::uint16_t kind = U16(leaf, 0);
            const bool pairs = kind == ('l' | ('f' << 8)) || kind == ('l' | ('h' << 8));
            if (!pairs && kind != ('l' | ('i' << 8))) Problem("no leaf under " + Narrow(path));
            for (std::uint16_t i = 0; i < U16(leaf, 2); ++i) {
                const std::uint32_t child = U32(leaf, 4 + i * (pairs ? 8u : 4u));
                const std::u16string name = Name(child, 72, 76, U16(child, 2) & 0x20);
                if (seen > 0 && names::Compare(previous, name) >= 0) {
                    Problem("order under " + Narrow(path) + ": " + Narrow(previous) + " then " +
                            Narrow(name));
                }
                const std::uint32_t extra = pairs ? U32(leaf, 8 + 8 * i) : 0;
                if (kind == ('l' | ('h' << 8)) && extra != names::LhHash(name)) {
                    Problem("hash of " + Narrow(name));
                }
                if (kind == ('l' | ('f' << 8)) && extra != names::LfHint(name)) {
                    Problem("hint of " + Narrow(name));
                }
                if ((U32(key, 52) & 0xFFFF) < name.size() * 2)
                    Problem("largest name " + Narrow(path));
                const bool latin1 =
                    std::all_of(name.begin(), name.end(), [](char16_t c) { return c <= 0xFF; });
                if (((U16(child, 2) & 0x20) != 0) != latin1)
                    Problem("key name form " + Narrow(name));
                previous = name;
                ++seen;
                Key(child, key);
            }
        }
        if (seen != count) Problem("subkey count of " + Narrow(path));
    }

    const Bytes& bytes_;
    std::map<std::uint32_t, std::uint32_t> users_;
    std::vector<std::string> problems_;
};

// --- the model ---

struct ModelValue {
    std::u16string name;
    std::uint32_t type = 0;
    Bytes data;
};

struct ModelKey {
    std::u16string name;
    Cell cell = kNil;
    std::map<std::u16string, std::unique_ptr<ModelKey>> children;  // by upper-cased name
    std::vector<ModelValue> values;                                // in the order added
};

ModelValue* FindModelValue(ModelKey& key, std::u16string_view name) {
    for (auto& value : key.values) {
        if (Upper(value.name) == Upper(name)) return &value;
    }
    return nullptr;
}

// Names Windows holds equal in some pairs and not in others: Latin-1 and other case variants,
// characters Windows' table leaves alone (ı, ſ, µ, ß), the ones libhivex's order differs on.
const std::u16string kNames[] = {u"\u00C4pfel",
                                 u"\u00E4PFEL",
                                 u"\u00C4PFEL",
                                 u"Gr\u00FC\u00DFe",
                                 u"GR\u00DC\u00DFE",
                                 u"\u010Dapek",
                                 u"\u010Capek",
                                 u"\u00D6l",
                                 u"\u00F6l",
                                 u"Mix",
                                 u"MIX",
                                 u"\u00E9",
                                 u"\u00C9",
                                 u"\u03A9mega",
                                 u"\u03C9MEGA",
                                 u"\u0416\u0443\u043A",
                                 u"\u0436\u0443\u043A",
                                 u"\u0131",
                                 u"I",
                                 u"i",
                                 u"\u017F",
                                 u"s",
                                 u"S",
                                 u"\u00B5",
                                 u"\u039C",
                                 u"wdm_au8830",
                                 u"wdmaud",
                                 u"WDMAUD",
                                 u"[x]",
                                 u"_x",
                                 u"`x",
                                 u"a",
                                 u"A",
                                 u"aa",
                                 u"Ab",
                                 u"ab\u0100d",
                                 u"\u0100bcd",
                                 u"\u0178",
                                 u"\u00FF",
                                 u"\uFF21",
                                 u"\uFF41",
                                 u"Key with spaces",
                                 u"\u00A0nbsp"};

class Model {
  public:
    explicit Model(std::uint32_t minor, unsigned seed) : hive_(Fresh(minor)), random_(seed) {
        root_.cell = hive_->root();
        root_.name = hive_->KeyName(hive_->root());
        keys_.push_back(&root_);
    }

    Hive& hive() { return *hive_; }
    const ModelKey& root() const { return root_; }

    void Step() {
        const int what = Below(100);
        ModelKey& key = *keys_[Below(keys_.size())];
        if (what < 28) {
            CreateKey(key, Name());
        } else if (what < 60) {
            SetValue(key, Name());
        } else if (what < 74) {
            DeleteValue(key, Name());
        } else if (what < 78 && &key != &root_) {
            DeleteKey(key);
        } else {
            Lookup(key, Name());
        }
    }

    void CreateKey(ModelKey& parent, const std::u16string& name) {
        const Cell cell = hive_->CreateKey(parent.cell, name);
        auto& child = parent.children[Upper(name)];
        if (!child) {
            child = std::make_unique<ModelKey>();
            child->name = name;
            child->cell = cell;
            keys_.push_back(child.get());
        }
        ASSERT_EQ(cell, child->cell) << Narrow(name);
    }

    void SetValue(ModelKey& key, const std::u16string& name) {
        Bytes data(Size());
        for (auto& byte : data) byte = static_cast<std::uint8_t>(Below(256));
        const auto type = static_cast<std::uint32_t>(Below(12));
        hive_->SetValue(key.cell, name, type, data.data(), static_cast<std::uint32_t>(data.size()));
        if (ModelValue* value = FindModelValue(key, name)) {
            value->type = type;
            value->data = data;
        } else {
            key.values.push_back(ModelValue{name, type, data});
        }
    }

    void DeleteValue(ModelKey& key, const std::u16string& name) {
        ModelValue* value = FindModelValue(key, name);
        EXPECT_EQ(hive_->DeleteValue(key.cell, name), value != nullptr) << Narrow(name);
        if (value) key.values.erase(key.values.begin() + (value - key.values.data()));
    }

    void DeleteKey(ModelKey& key) {
        hive_->DeleteKey(key.cell);
        std::vector<const ModelKey*> gone{&key};
        for (std::size_t i = 0; i < gone.size(); ++i) {
            for (const auto& [upper, child] : gone[i]->children) gone.push_back(child.get());
        }
        keys_.erase(std::remove_if(keys_.begin(), keys_.end(),
                                   [&](ModelKey* k) {
                                       return std::find(gone.begin(), gone.end(), k) != gone.end();
                                   }),
                    keys_.end());
        ModelKey* parent = ParentOf(root_, key);
        ASSERT_NE(parent, nullptr);
        parent->children.erase(Upper(key.name));
    }

    // Deletes every key and value whose name is stored in UTF-16 (beyond Latin-1).
    void DeleteNamesBeyondLatin1() {
        const auto wide = [](const std::u16string& name) {
            return std::any_of(name.begin(), name.end(), [](char16_t c) { return c > 0xFF; });
        };
        for (std::size_t i = 0; i < keys_.size(); ++i) {
            if (keys_[i] != &root_ && wide(keys_[i]->name)) {
                DeleteKey(*keys_[i]);
                i = 0;
            }
        }
        for (ModelKey* key : keys_) {
            std::vector<std::u16string> names;
            for (const auto& value : key->values) {
                if (wide(value.name)) names.push_back(value.name);
            }
            for (const auto& name : names) DeleteValue(*key, name);
        }
    }

    void Lookup(ModelKey& key, const std::u16string& name) {
        const auto child = key.children.find(Upper(name));
        EXPECT_EQ(hive_->FindSubkey(key.cell, name),
                  child == key.children.end() ? kNil : child->second->cell)
            << Narrow(name);
        const ModelValue* value = FindModelValue(key, name);
        const Cell cell = hive_->FindValue(key.cell, name);
        EXPECT_EQ(cell != kNil, value != nullptr) << Narrow(name);
        if (cell != kNil && value) {
            EXPECT_EQ(hive_->ValueName(cell), value->name);
        }
    }

  private:
    std::size_t Below(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
    }
    std::u16string Name() {
        if (Below(4) > 0) return kNames[Below(std::size(kNames))];
        // Now and then a made-up one, up to the longest a key may have.
        static const std::u16string kUnits =
            u"aAzZ_[`\u00E4\u00C4\u00DF\u0131\u03C9\u03A9\u4E2D\uFF41";
        std::u16string name(Below(50) == 0 ? 255 : 1 + Below(12), u'a');
        for (auto& unit : name) unit = kUnits[Below(kUnits.size())];
        return name;
    }
    std::size_t Size() {
        const std::size_t kind = Below(20);
        if (kind < 8) return Below(5);  // held in the value itself
        if (kind < 17) return 5 + Below(120);
        if (kind < 19) return 200 + Below(5000);
        return kBigDataSegment + 1 + Below(40000);  // big data from format 1.4 on
    }
    static ModelKey* ParentOf(ModelKey& under, const ModelKey& key) {
        for (auto& [upper, child] : under.children) {
            if (child.get() == &key) return &under;
            if (ModelKey* found = ParentOf(*child, key)) return found;
        }
        return nullptr;
    }

    std::unique_ptr<Hive> hive_;
    std::mt19937 random_;
    ModelKey root_;
    std::vector<ModelKey*> keys_;
};

// Every key and value of the hive, in the model's order (subkeys in Windows' order, values in
// the order they were added).
void ExpectSame(const Hive& hive, const ModelKey& key) {
    const std::vector<Cell> subkeys = hive.Subkeys(key.cell);
    ASSERT_EQ(subkeys.size(), key.children.size()) << Narrow(key.name);
    ASSERT_EQ(hive.SubkeyCount(key.cell), key.children.size());
    std::size_t i = 0;
    for (const auto& [upper, child] : key.children) {
        ASSERT_EQ(subkeys[i], child->cell) << Narrow(key.name) << " #" << i;
        EXPECT_EQ(hive.KeyName(subkeys[i]), child->name);
        EXPECT_EQ(hive.Parent(subkeys[i]), key.cell);
        ++i;
    }
    const std::vector<Cell> values = hive.Values(key.cell);
    ASSERT_EQ(values.size(), key.values.size()) << Narrow(key.name);
    for (std::size_t v = 0; v < values.size(); ++v) {
        EXPECT_EQ(hive.ValueName(values[v]), key.values[v].name);
        EXPECT_EQ(hive.ValueType(values[v]), key.values[v].type);
        EXPECT_EQ(hive.ValueData(values[v]), key.values[v].data) << Narrow(key.values[v].name);
    }
    for (const auto& [upper, child] : key.children) ExpectSame(hive, *child);
}

std::string Utf8(std::u16string_view text) {
    std::string out;
    for (const char16_t unit : text) {
        if (unit < 0x80) {
            out += static_cast<char>(unit);
        } else if (unit < 0x800) {
            out += static_cast<char>(0xC0 | (unit >> 6));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (unit >> 12));
            out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    return out;
}

// Keys ("path\") and values ("path\name": type, bytes), names in UTF-8.
using Dump = std::map<std::string, std::pair<int, std::string>>;

void ModelDump(const ModelKey& key, const std::string& path, Dump* out) {
    (*out)[path + "\\"] = {-1, ""};
    for (const auto& value : key.values) {
        (*out)[path + "\\" + Utf8(value.name)] = {
            static_cast<int>(value.type), std::string(value.data.begin(), value.data.end())};
    }
    for (const auto& [upper, child] : key.children) {
        ModelDump(*child, path + "\\" + Utf8(child->name), out);
    }
}

void HivexWalk(hive_h* hive, hive_node_h node, const std::string& path, Dump* out) {
    (*out)[path + "\\"] = {-1, ""};
    hive_value_h* values = hivex_node_values(hive, node);
    for (std::size_t i = 0; values && values[i]; ++i) {
        char* name = hivex_value_key(hive, values[i]);
        hive_type type{};
        std::size_t length = 0;
        char* data = hivex_value_value(hive, values[i], &type, &length);
        (*out)[path + "\\" + (name ? name : "?")] = {static_cast<int>(type),
                                                     data ? std::string(data, length) : "?"};
        std::free(name);
        std::free(data);
    }
    std::free(values);
    hive_node_h* children = hivex_node_children(hive, node);
    for (std::size_t i = 0; children && children[i]; ++i) {
        char* name = hivex_node_name(hive, children[i]);
        HivexWalk(hive, children[i], path + "\\" + (name ? name : "?"), out);
        std::free(name);
    }
    std::free(children);
}

// The first few entries that differ, by name, type and size.
void ExpectSameDump(const Dump& read, const Dump& expected) {
    std::vector<std::string> differences;
    const auto describe = [](const Dump& dump, const std::string& name) {
        const auto it = dump.find(name);
        if (it == dump.end()) return std::string("none");
        return "type " + std::to_string(it->second.first) + ", " +
               std::to_string(it->second.second.size()) + " bytes";
    };
    std::set<std::string> names;
    for (const auto& [name, entry] : read) names.insert(name);
    for (const auto& [name, entry] : expected) names.insert(name);
    for (const auto& name : names) {
        const auto a = read.find(name);
        const auto b = expected.find(name);
        if (a != read.end() && b != expected.end() && a->second == b->second) continue;
        if (differences.size() < 10) {
            differences.push_back(name + ": read " + describe(read, name) + ", expected " +
                                  describe(expected, name));
        }
    }
    EXPECT_EQ(differences, std::vector<std::string>{});
}

std::string Run(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
    *status = ::pclose(pipe);
    return out;
}

// libhivex, reglookup and chntpw's reged read the hive's file: libhivex every key and value
// as the model has them, the other two as many keys and values, without complaint. (reged
// finds no key and reads no value whose name is stored in UTF-16, as Windows stores a name
// beyond Latin-1: it is asked only of hives without such names.)
void ExpectIndependentReadersAgree(const Hive& hive, const ModelKey& root, bool reged) {
    char pattern[] = "/tmp/calvenor-hive-XXXXXX";
    const int fd = ::mkstemp(pattern);
    ASSERT_GE(fd, 0);
    const std::string file = pattern;
    ASSERT_EQ(::write(fd, hive.bytes().data(), hive.bytes().size()),
              static_cast<ssize_t>(hive.bytes().size()));
    ::close(fd);
    Dump expected;
    ModelDump(root, "", &expected);
    Dump read;
    hive_h* h = hivex_open(file.c_str(), 0);
    EXPECT_NE(h, nullptr);
    if (h) {
        EXPECT_EQ(hivex_visit(h, nullptr, 0, nullptr, 0), 0);
        HivexWalk(h, hivex_root(h), "", &read);
        hivex_close(h);
    }
    ExpectSameDump(read, expected);

    std::size_t keys = 0;
    std::size_t values = 0;
    for (const auto& [path, entry] : expected) (entry.first < 0 ? keys : values) += 1;
    // reglookup warns of each name it cannot show in ASCII and of data that is no text of its
    // type (standard error); what it lists is standard output.
    int status = -1;
    const std::string listed = Run("reglookup -H '" + file + "' 2>/dev/null", &status);
    EXPECT_EQ(status, 0);
    const std::string complaints = Run("reglookup -H '" + file + "' 2>&1 >/dev/null", &status);
    EXPECT_EQ(complaints.find("ERROR"), std::string::npos) << complaints.substr(0, 2000);
    std::size_t listedKeys = 0;
    std::size_t listedLines = 0;
    for (std::size_t at = 0; at < listed.size();) {
        const std::size_t end = listed.find('\n', at);
        const std::string line = listed.substr(at, end - at);
        listedLines += !line.empty();
        listedKeys += line.find(",KEY,") != std::string::npos;
        at = end == std::string::npos ? listed.size() : end + 1;
    }
    EXPECT_EQ(listedKeys, keys);
    EXPECT_EQ(listedLines - listedKeys, values);

    const std::string exported = file + ".reg";
    if (!reged) {
        ::unlink(file.c_str());
        return;
    }
    const std::string said = Run(
        "reged -x '" + file + "' 'HKEY_LOCAL_MACHINE\\X' '\\' '" + exported + "' 2>&1", &status);
    EXPECT_EQ(status, 0) << said.substr(0, 2000);
    std::ifstream in(exported, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    std::size_t exportedKeys = 0;
    for (std::size_t at = text.find("\n["); at != std::string::npos;
         at = text.find("\n[", at + 1)) {
        ++exportedKeys;
    }
    EXPECT_EQ(exportedKeys, keys) << said.substr(0, 2000);
    ::unlink(exported.c_str());
    ::unlink(file.c_str());
}

class HiveKeysTest : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(HiveKeysTest, RandomChangesMatchTheModelAndLeaveASoundHive) {
    const unsigned seed = 27 + GetParam();
    Model model(GetParam(), seed);
    for (int round = 0; round < 16; ++round) {
        for (int step = 0; step < 250; ++step) {
            model.Step();
            if (::testing::Test::HasFatalFailure()) return;
        }
        SCOPED_TRACE("seed " + std::to_string(seed) + ", round " + std::to_string(round));
        ExpectSame(model.hive(), model.root());
        EXPECT_EQ(RawWalk(model.hive().bytes()).Problems(), std::vector<std::string>{});
        // The bytes alone make the same hive, every list in order.
        const auto again = Reread(model.hive());
        ASSERT_TRUE(again);
        EXPECT_EQ(again->disordered_lists(), 0u);
        ExpectSame(*again, model.root());
        if (::testing::Test::HasFailure()) return;
    }
    ExpectIndependentReadersAgree(model.hive(), model.root(), false);
    model.DeleteNamesBeyondLatin1();
    ExpectSame(model.hive(), model.root());
    ExpectIndependentReadersAgree(model.hive(), model.root(), true);
}

TEST_P(HiveKeysTest, BigSubkeyListsGrowIntoAnIndexRootAndSplitAsWindowsDoes) {
    auto hive = Fresh(GetParam());
    const Cell parent = hive->CreateKey(hive->root(), u"Big");
    std::mt19937 random(28);
    std::vector<std::u16string> names;
    for (int i = 0; i < 5000; ++i) {
        std::u16string name = u"k";
        for (int c = 0; c < 6; ++c) name.push_back(u"aZ_\u00E4\u03C9\u0131"[random() % 6]);
        name += std::u16string(1, static_cast<char16_t>(u'0' + i % 10));
        if (hive->FindSubkey(parent, name) != kNil) continue;
        names.push_back(name);
        hive->CreateKey(parent, name);
    }
    EXPECT_EQ(hive->SubkeyCount(parent), names.size());
    EXPECT_EQ(RawWalk(hive->bytes()).Problems(), std::vector<std::string>{});
    // An index root of leaves, none past Windows' 1013 entries; a format 1.3 hive's leaves
    // have become li leaves on the way.
    const Bytes& bytes = hive->bytes();
    const auto u32 = [&](std::uint32_t cell, std::uint32_t at) {
        std::uint32_t value = 0;
        std::memcpy(&value, &bytes[0x1000 + cell + 4 + at], 4);
        return value;
    };
    const std::uint32_t root = u32(parent, 28);
    EXPECT_EQ(u32(root, 0) & 0xFFFF, 'r' | ('i' << 8));
    const std::uint32_t leaves = u32(root, 0) >> 16;
    EXPECT_GE(leaves, 5u);
    for (std::uint32_t l = 0; l < leaves; ++l) {
        const std::uint32_t leaf = u32(root, 4 + 4 * l);
        EXPECT_LE(u32(leaf, 0) >> 16, 1013u);
        EXPECT_EQ(u32(leaf, 0) & 0xFFFF, GetParam() >= 5 ? ('l' | ('h' << 8)) : ('l' | ('i' << 8)));
    }
    for (const auto& name : names) ASSERT_NE(hive->FindSubkey(parent, name), kNil);

    // Gone in any order, the list goes with the last one, and the space comes back: the same
    // keys again need no more room.
    const std::uint32_t full = hive->cells().bins_size();
    std::shuffle(names.begin(), names.end(), random);
    for (std::size_t i = 0; i < names.size(); ++i) {
        hive->DeleteKey(hive->FindSubkey(parent, names[i]));
        if (i % 997 == 0) {
            ASSERT_EQ(RawWalk(hive->bytes()).Problems(), std::vector<std::string>{}) << i;
        }
    }
    EXPECT_EQ(hive->SubkeyCount(parent), 0u);
    EXPECT_EQ(u32(parent, 28), kNil);
    EXPECT_EQ(u32(parent, 52) & 0xFFFF, 0u);
    for (const auto& name : names) hive->CreateKey(parent, name);
    EXPECT_EQ(hive->cells().bins_size(), full);
    EXPECT_EQ(RawWalk(hive->bytes()).Problems(), std::vector<std::string>{});
    const auto again = Reread(*hive);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->disordered_lists(), 0u);
}

TEST_P(HiveKeysTest, ValuesAreStoredAsWindowsStoresThem) {
    auto hive = Fresh(GetParam());
    const Cell key = hive->CreateKey(hive->root(), u"Values");
    const auto field = [&](Cell value, std::uint32_t at) {
        std::uint32_t number = 0;
        std::memcpy(&number, &hive->bytes()[0x1000 + value + 4 + at], 4);
        return number;
    };
    const Bytes dword = {1, 2, 3, 4};
    hive->SetValue(key, u"", 4, dword.data(), 4);
    const Cell unnamed = hive->FindValue(key, u"");
    EXPECT_EQ(field(unnamed, 4), 0x80000004u);  // held in the value itself
    EXPECT_EQ(field(unnamed, 8), 0x04030201u);
    const Bytes text(40, 'x');
    hive->SetValue(key, u"Text", 1, text.data(), 40);
    const Cell value = hive->FindValue(key, u"TEXT");
    const std::uint32_t cell = field(value, 8);
    // The same size, or less, keeps the data cell: only its bytes change.
    const Bytes other(40, 'y');
    hive->SetValue(key, u"text", 1, other.data(), 40);
    EXPECT_EQ(field(value, 8), cell);
    hive->SetValue(key, u"text", 1, other.data(), 30);
    EXPECT_EQ(field(value, 8), cell);
    EXPECT_EQ(hive->ValueData(value), Bytes(30, 'y'));
    EXPECT_EQ(hive->ValueName(value), u"Text");  // the first writer's spelling

    // Past 16344 bytes: big-data segments from format 1.4 on, one cell before; replaced by
    // small data, every segment is freed.
    Bytes big(50000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
    hive->SetValue(key, u"Big", 3, big.data(), 50000);
    const Cell bigValue = hive->FindValue(key, u"big");
    EXPECT_EQ(hive->ValueData(bigValue), big);
    const std::uint32_t data = field(bigValue, 8);
    std::vector<Cell> cells{data};
    if (GetParam() >= 4) {
        EXPECT_EQ(field(data, 0), 'd' | ('b' << 8) | (4u << 16));  // four segments
        cells.push_back(field(data, 4));
        for (std::uint32_t i = 0; i < 4; ++i) cells.push_back(field(field(data, 4), 4 * i));
    } else {
        EXPECT_GE(hive->cells().Capacity(data), 50000u);
    }
    EXPECT_EQ(field(key, 64), 50000u);  // the largest data
    hive->SetValue(key, u"Big", 3, dword.data(), 4);
    for (const Cell cell : cells) EXPECT_FALSE(hive->cells().IsAllocated(cell));
    EXPECT_TRUE(hive->DeleteValue(key, u"BIG"));
    EXPECT_FALSE(hive->DeleteValue(key, u"BIG"));
    EXPECT_EQ(hive->Values(key).size(), 2u);
    EXPECT_EQ(RawWalk(hive->bytes()).Problems(), std::vector<std::string>{});
}

TEST(HiveKeys, ChangesStampTheKeysWindowsStamps) {
    static std::uint64_t now = 1000;
    Hive::clock = [] { return ++now; };
    auto hive = Fresh(5);
    const Cell parent = hive->CreateKey(hive->root(), u"Parent");
    const std::uint64_t created = hive->KeyTime(parent);
    EXPECT_EQ(hive->KeyTime(hive->root()), now);  // its subkeys changed
    const Cell child = hive->CreateKey(parent, u"Child");
    EXPECT_GT(hive->KeyTime(parent), created);
    const std::uint64_t before = hive->KeyTime(parent);
    const Bytes data = {1};
    hive->SetValue(child, u"v", 4, data.data(), 1);
    EXPECT_EQ(hive->KeyTime(child), now);
    EXPECT_EQ(hive->KeyTime(parent), before);  // a subkey's values are not its own
    hive->DeleteValue(child, u"v");
    EXPECT_EQ(hive->KeyTime(child), now);
    hive->DeleteKey(child);
    EXPECT_EQ(hive->KeyTime(parent), now);
    EXPECT_EQ(hive->last_change(), now);
    Hive::clock = FileTimeNow;
}

TEST(HiveKeys, ASecurityDescriptorNoKeyUsesIsFreedAndUnlinked) {
    // An empty hive with a second descriptor (at 0xE0, after the root's), then a key made to
    // use it: deleting the key frees it and links the root's to itself again.
    const std::string empty = MakeEmptyHive("ROOT", 5);
    Bytes bytes(empty.begin(), empty.end());
    const auto at = [&](std::size_t offset) -> std::uint8_t* { return &bytes[0x1000 + offset]; };
    const auto put = [&](std::size_t offset, std::uint32_t value) {
        std::memcpy(at(offset), &value, 4);
    };
    const std::uint32_t first = 0x78;
    const std::uint32_t second = 0xE0;
    std::memcpy(at(second), at(first), 104);
    put(second + 4 + 4, first);  // next
    put(second + 4 + 8, first);  // previous
    put(second + 4 + 12, 0);     // no key yet
    put(first + 4 + 4, second);
    put(first + 4 + 8, second);
    put(second + 104, 0x1000 - second - 104);  // the rest of the bin free
    std::string problem;
    auto hive = Hive::Load(bytes, &problem);
    ASSERT_TRUE(hive) << problem;
    const Cell key = hive->CreateKey(hive->root(), u"Own");
    bytes = hive->bytes();
    put(key + 4 + 44, second);
    put(second + 4 + 12, 1);
    put(first + 4 + 12, 1);
    hive = Hive::Load(bytes, &problem);
    ASSERT_TRUE(hive) << problem;
    hive->DeleteKey(key);
    bytes = hive->bytes();
    std::int32_t size = 0;
    std::memcpy(&size, at(second), 4);
    EXPECT_GT(size, 0);  // free
    std::uint32_t link[2] = {};
    std::memcpy(link, at(first + 4 + 4), 8);
    EXPECT_EQ(link[0], first);
    EXPECT_EQ(link[1], first);
    EXPECT_EQ(RawWalk(bytes).Problems(), std::vector<std::string>{});
}

TEST(HiveKeys, ListsOutOfWindowsOrderAreSearchedWholeAndPutInOrderWhenAddedTo) {
    // Another program's list: Windows' order broken and a hash wrong.
    auto hive = Fresh(5);
    for (const char16_t* name : {u"Alpha", u"Beta", u"Gamma"}) hive->CreateKey(hive->root(), name);
    Bytes bytes = hive->bytes();
    std::uint32_t list = 0;
    std::memcpy(&list, &bytes[0x1000 + hive->root() + 4 + 28], 4);
    std::uint8_t* entries = &bytes[0x1000 + list + 4 + 4];
    std::swap_ranges(entries, entries + 8, entries + 16);  // Gamma, Beta, Alpha
    entries[4] ^= 1;
    std::string problem;
    hive = Hive::Load(bytes, &problem);
    ASSERT_TRUE(hive) << problem;
    EXPECT_EQ(hive->disordered_lists(), 1u);
    EXPECT_FALSE(RawWalk(hive->bytes()).Problems().empty());
    for (const char16_t* name : {u"ALPHA", u"beta", u"Gamma"}) {
        EXPECT_NE(hive->FindSubkey(hive->root(), name), kNil) << Narrow(name);
    }
    hive->CreateKey(hive->root(), u"Delta");
    EXPECT_EQ(hive->disordered_lists(), 0u);
    EXPECT_EQ(RawWalk(hive->bytes()).Problems(), std::vector<std::string>{});
    EXPECT_EQ(hive->Subkeys(hive->root()).size(), 4u);
}

TEST(HiveKeys, HivesThatAreNotSoundAreRefusedWithWhatIsWrong) {
    auto hive = Fresh(5);
    const Cell a = hive->CreateKey(hive->root(), u"A");
    const Cell b = hive->CreateKey(a, u"B");
    const Bytes data(100, 'd');
    hive->SetValue(b, u"V", 3, data.data(), 100);
    const Bytes sound = hive->bytes();
    const auto refused = [&](const std::function<void(Bytes&)>& damage, const std::string& needle) {
        Bytes bytes = sound;
        damage(bytes);
        std::string problem;
        EXPECT_FALSE(Hive::Load(bytes, &problem)) << needle;
        EXPECT_NE(problem.find(needle), std::string::npos) << problem;
    };
    const auto put = [](Bytes& bytes, std::uint32_t cell, std::uint32_t at, std::uint32_t value) {
        std::memcpy(&bytes[0x1000 + std::size_t{cell} + 4 + at], &value, 4);
    };
    // A field of the base block, its checksum made right again.
    const auto header = [](Bytes& bytes, std::uint32_t at, std::uint32_t value) {
        std::memcpy(&bytes[at], &value, 4);
        const std::uint32_t sum = HeaderChecksum(bytes.data());
        std::memcpy(&bytes[0x1FC], &sum, 4);
    };
    std::uint32_t list = 0;
    std::memcpy(&list, &sound[0x1000 + a + 4 + 28], 4);
    // A loop: B's subkeys are A's.
    refused(
        [&](Bytes& bytes) {
            put(bytes, b, 20, 1);
            put(bytes, b, 28, list);
        },
        "used twice");
    refused([&](Bytes& bytes) { put(bytes, a, 20, 2); }, "counts other subkeys");
    refused([&](Bytes& bytes) { put(bytes, b, 16, hive->root()); }, "another parent");
    refused(
        [&](Bytes& bytes) {
            put(bytes, b, 20, 1);
            put(bytes, b, 28, 0x7FFFFFF8);
        },
        "no cell in use");
    refused([&](Bytes& bytes) { put(bytes, b, 36, 0x40000001); }, "too small");
    refused([&](Bytes& bytes) { put(bytes, a, 44, b); }, "no security descriptor");
    refused([&](Bytes& bytes) { put(bytes, hive->root(), 72, 0x7000); }, "too small");
    std::uint32_t security = 0;
    std::memcpy(&security, &sound[0x1000 + a + 4 + 44], 4);
    refused([&](Bytes& bytes) { put(bytes, security, 12, 1); }, "counts fewer keys");
    refused([&](Bytes& bytes) { header(bytes, 0x24, b + 8); }, "no cell in use");
    refused([&](Bytes& bytes) { header(bytes, 0x18, 6); }, "1.6");
    refused([&](Bytes& bytes) { bytes.resize(bytes.size() - 0x800); }, "too short");
}

// A hive whose records are damaged at random (a few bytes of keys, values, lists, descriptors
// and their cells' sizes) is refused or, when it loads, read and changed without a crash (an
// Error is a refusal too).
TEST(HiveKeys, RandomDamageIsRefusedOrSurvived) {
    Model model(5, 31);
    for (int step = 0; step < 600; ++step) model.Step();
    const Hive& hive = model.hive();
    // Where the records are: every key, its lists, values and descriptor.
    std::vector<Cell> records;
    std::vector<Cell> pending{hive.root()};
    while (!pending.empty()) {
        const Cell key = pending.back();
        pending.pop_back();
        records.push_back(key);
        for (const std::uint32_t at : {28u, 40u, 44u}) {
            std::uint32_t cell = 0;
            std::memcpy(&cell, &hive.bytes()[0x1000 + key + 4 + at], 4);
            if (hive.cells().IsAllocated(cell)) records.push_back(cell);
        }
        for (const Cell value : hive.Values(key)) records.push_back(value);
        for (const Cell child : hive.Subkeys(key)) pending.push_back(child);
    }
    const Bytes sound = hive.bytes();
    std::mt19937 random(32);
    int loaded = 0;
    for (int round = 0; round < 500; ++round) {
        Bytes bytes = sound;
        for (int flips = 1 + random() % 3; flips > 0; --flips) {
            const std::size_t at = 0x1000 + records[random() % records.size()] + random() % 84;
            if (at < bytes.size()) bytes[at] = static_cast<std::uint8_t>(random());
        }
        std::string problem;
        auto damaged = Hive::Load(bytes, &problem);
        if (!damaged) {
            EXPECT_FALSE(problem.empty());
            continue;
        }
        ++loaded;
        try {
            pending = {damaged->root()};
            while (!pending.empty()) {
                const Cell key = pending.back();
                pending.pop_back();
                for (const Cell value : damaged->Values(key)) damaged->ValueData(value);
                const std::vector<Cell> children = damaged->Subkeys(key);
                pending.insert(pending.end(), children.begin(), children.end());
                if (random() % 8 == 0) {
                    damaged->SetValue(key, u"new", 3, sound.data(), 100);
                    damaged->CreateKey(key, u"\u00E4new");
                    damaged->DeleteValue(key, u"new");
                }
                if (key != damaged->root() && random() % 16 == 0) {
                    damaged->DeleteKey(key);
                    pending.clear();
                }
            }
            // What the engine wrote into a hive it accepted is sound.
            EXPECT_TRUE(Hive::Load(damaged->bytes(), &problem)) << problem;
        } catch (const Error&) {
        }
    }
    // Some damage is harmless (a name's letter, a time): such hives load.
    EXPECT_GT(loaded, 0);
    EXPECT_LT(loaded, 500);
}

INSTANTIATE_TEST_SUITE_P(Formats, HiveKeysTest, ::testing::Values(3u, 5u),
                         [](const ::testing::TestParamInfo<std::uint32_t>& info) {
                             return "Format1_" + std::to_string(info.param);
                         });

}  // namespace
