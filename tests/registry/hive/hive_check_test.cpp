// The index checker, on hives made here as Windows writes them and on copies with one rule
// broken each: the faults the program's hive writes have shown (hashes taken over UTF-8, hashes
// of untouched siblings rewritten, lf hints of UTF-8 bytes, names equal to Windows made twice,
// a header not finished as Windows finishes it) and damage of every other kind.
#include "registry/hive/hive_check.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/hive_writer.h"
#include "text/windows_names.h"

namespace {

using namespace platform::hive;
using testing_support::Dword;
using testing_support::FileTime;
using testing_support::HiveKey;
using testing_support::HiveLayout;
using testing_support::Utf16;
using testing_support::Utf16Bytes;
using testing_support::WriteHive;

std::uint32_t Get32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    std::memcpy(&value, &bytes[at], 4);
    return value;
}
void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    std::memcpy(&bytes[at], &value, 4);
}
std::string Le32(std::uint32_t value) {
    return std::string(reinterpret_cast<const char*>(&value), 4);
}

// Replaces the one occurrence of a 32-bit number (a hash or hint in a subkey list).
void ReplaceNumber(std::string& bytes, std::uint32_t from, std::uint32_t to) {
    const std::size_t at = bytes.find(Le32(from));
    ASSERT_NE(at, std::string::npos) << std::hex << from;
    ASSERT_EQ(bytes.find(Le32(from), at + 1), std::string::npos) << std::hex << from;
    Put32(bytes, at, to);
}

// The file offset of the key node (its "nk") of the key with this name, stored one byte a
// character.
std::size_t Node(const std::string& bytes, const std::string& latin1) {
    for (std::size_t at = bytes.find(latin1); at != std::string::npos;
         at = bytes.find(latin1, at + 1)) {
        if (at >= 76 && bytes.compare(at - 76, 2, "nk") == 0 &&
            static_cast<std::uint8_t>(bytes[at - 4]) == latin1.size()) {
            return at - 76;
        }
    }
    ADD_FAILURE() << "no key node " << latin1;
    return 0;
}

// Windows' checksum of a base block, and the header refreshed with it after an edit.
std::uint32_t RawChecksum(const std::string& bytes) {
    std::uint32_t sum = 0;
    for (std::size_t at = 0; at < 0x1FC; at += 4) sum ^= Get32(bytes, at);
    return sum;
}
void Reseal(std::string& bytes) {
    Put32(bytes, 0x1FC, WindowsHeaderChecksum(reinterpret_cast<const std::uint8_t*>(bytes.data())));
}

const std::uint64_t kInstalled = FileTime(2008, 4, 21, 10, 0, 0);
const std::uint64_t kWritten = FileTime(2010, 6, 1, 18, 30, 0);

// A hive as Windows writes one, with the names the faults were found on: non-ASCII,
// outside Windows-1252, names Unicode would fold together and Windows keeps apart, data
// inside the value, in a cell and in big data segments, two security descriptors and a
// subkey list long enough for an ri.
HiveKey SoundTree() {
    HiveKey root;
    root.name = u"$$$PROTO.HIV";
    root.time = kInstalled;
    HiveKey& test = root.Path(u"Test");
    for (const char* name : {"Mix", "Öl", "čapek", "Äpfel", "Grüße", "GRÜSSE", "µ", "Μ", "Ωmega",
                             "Жук", "wdmaud", "wdm_au8830", "[x]"}) {
        test.Child(Utf16(name)).time = kInstalled;
    }
    HiveKey& values = test.Child(u"Values");
    values.time = kInstalled;
    values.className = u"Shell";
    values.Value(Utf16("Ärger")) = {Utf16("Ärger"), 4, Dword(7)};
    values.Value(u"") = {u"", 1, Utf16Bytes(u"default")};
    values.Value(u"Empty") = {u"Empty", 3, ""};
    values.Value(u"Three") = {u"Three", 3, "abc"};
    values.Value(Utf16("Größe")) = {Utf16("Größe"), 3, std::string(16344, 'x')};
    values.Value(u"Big") = {u"Big", 3, std::string(40000, 'b')};
    values.Value(Utf16("Ωmega")) = {Utf16("Ωmega"), 1, Utf16Bytes(u"Ω")};
    HiveKey& locked = root.Path(u"Locked\\Inner");
    locked.security = testing_support::EveryoneDescriptor();
    locked.security[32] = 0x19;  // read access only
    HiveKey& many = root.Path(u"Many");
    for (int i = 0; i < 30; ++i) many.Child(Utf16("Key" + std::to_string(i)));
    return root;
}

HiveLayout Layout(std::uint32_t minor = 5) {
    HiveLayout layout;
    layout.minor = minor;
    layout.time = kWritten;
    layout.fileName = u"\\SystemRoot\\System32\\Config\\SYSTEM";
    layout.leafSize = 8;
    return layout;
}

std::string SoundHive(std::uint32_t minor = 5) {
    return WriteHive(SoundTree(), Layout(minor));
}

TEST(HiveCheck, HivesAsWindowsWritesThemAreClean) {
    for (const std::uint32_t minor : {5u, 3u}) {
        std::string contents;
        const CheckResult result = CheckHive(SoundHive(minor), &contents);
        EXPECT_TRUE(result.clean()) << "1." << minor << "\n" << result.Text();
        EXPECT_EQ(result.keys, 1 + 1 + 13 + 1 + 2 + 1 + 30u);
        EXPECT_EQ(result.values, 7u);
        EXPECT_NE(contents.find("\\Test\\Grüße\n"), std::string::npos) << contents;
        EXPECT_NE(contents.find("\\Test\\GRÜSSE\n"), std::string::npos);
        EXPECT_NE(contents.find("\\Test\\Values:\"Three\" type 3, 3 bytes: 616263\n"),
                  std::string::npos);
    }
}

TEST(HiveCheck, ContentsTellWhatAHiveHoldsNotWhereItIsKept) {
    std::string five;
    std::string three;
    CheckHive(SoundHive(5), &five);
    CheckHive(SoundHive(3), &three);
    EXPECT_EQ(five, three);  // lh against lf lists, big data against one cell
    HiveKey changed = SoundTree();
    changed.Path(u"Test\\Values").Value(u"Big").data[39999] = 'c';
    std::string other;
    CheckHive(WriteHive(changed, Layout()), &other);
    EXPECT_NE(other, five);
}

// Issue 27, fault 1: a new key's lh hash taken over its name's UTF-8 bytes.
TEST(HiveCheck, FindsAHashNotAsWindowsComputesIt) {
    std::string hive = SoundHive();
    ReplaceNumber(hive, platform::names::LhHash(Utf16("Äpfel")), 0xF644DC2E);
    const CheckResult result = CheckHive(hive);
    EXPECT_TRUE(result.Has(Rule::kHash, "\\Test\\Äpfel")) << result.Text();
    EXPECT_EQ(result.total, 1u) << result.Text();
    EXPECT_FALSE(result.sound());
    EXPECT_NE(result.Text().find("0xF644DC2E"), std::string::npos) << result.Text();
    EXPECT_NE(result.Text().find("0x16246E2F"), std::string::npos) << result.Text();
}

// Fault 2: a re-sort rewrote the hash of a sibling nobody touched; in a 1.3 hive the hint of a
// new key was its UTF-8 bytes; and a list out of Windows' order.
TEST(HiveCheck, FindsSiblingsHashesHintsAndOrderBroken) {
    std::string hive = SoundHive();
    ReplaceNumber(hive, platform::names::LhHash(Utf16("čapek")), 0x1E40A86E);
    CheckResult result = CheckHive(hive);
    EXPECT_TRUE(result.Has(Rule::kHash, "\\Test\\čapek")) << result.Text();
    EXPECT_EQ(result.total, 1u) << result.Text();

    hive = SoundHive(3);
    // "Äpfe" as Windows writes it, then as UTF-8, in Äpfel's entry.
    const std::string entry = Le32(static_cast<std::uint32_t>(Node(hive, "\xC4pfel") - 0x1004));
    const std::size_t at = hive.find(entry + Le32(0x656670C4));
    ASSERT_NE(at, std::string::npos);
    Put32(hive, at + 4, 0x667084C3);
    result = CheckHive(hive);
    EXPECT_TRUE(result.Has(Rule::kHash, "\\Test\\Äpfel")) << result.Text();
    EXPECT_EQ(result.total, 1u) << result.Text();

    // "Mix" and "Öl" swapped in their list, each with its own hash.
    hive = SoundHive();
    const std::uint32_t mix = platform::names::LhHash(u"Mix");
    const std::uint32_t ol = platform::names::LhHash(Utf16("Öl"));
    const std::size_t a = hive.find(Le32(mix)) - 4;
    const std::size_t b = hive.find(Le32(ol)) - 4;
    const std::string entryA = hive.substr(a, 8);
    hive.replace(a, 8, hive.substr(b, 8));
    hive.replace(b, 8, entryA);
    result = CheckHive(hive);
    EXPECT_TRUE(result.Has(Rule::kOrder)) << result.Text();
    EXPECT_FALSE(result.Has(Rule::kHash)) << result.Text();

    // lh lists in a hive of version 1.3, which has lf lists.
    std::string lh = SoundHive(5);
    Put32(lh, 0x18, 3);
    Reseal(lh);
    result = CheckHive(lh);
    EXPECT_TRUE(result.Has(Rule::kSubkeyList)) << result.Text();
}

// Fault 3: names made twice that Windows sees as one; names Unicode folds together and Windows
// keeps apart are not.
TEST(HiveCheck, FindsNamesEqualByWindowsRule) {
    HiveKey tree = SoundTree();
    HiveKey& test = tree.Path(u"Test");
    test.subkeys.push_back(HiveKey{});
    test.subkeys.back().name = Utf16("äPFEL");
    HiveKey& values = tree.Path(u"Test\\Values");
    values.values.push_back({Utf16("äRGER"), 4, Dword(8)});
    const CheckResult result = CheckHive(WriteHive(tree, Layout()));
    EXPECT_TRUE(result.Has(Rule::kDuplicate, "\\Test")) << result.Text();
    EXPECT_TRUE(result.Has(Rule::kDuplicate, "\\Test\\Values")) << result.Text();
    EXPECT_EQ(result.total, 2u) << result.Text();
}

// Fault 9: the header's time never set, its checksum without Windows' rule, and a key whose
// value changed keeping its time.
TEST(HiveCheck, FindsAHeaderAndTimesNotFinishedAsWindowsDoes) {
    std::string hive = SoundHive();
    Put32(hive, 12, 0);
    Put32(hive, 16, 0);
    Reseal(hive);
    CheckResult result = CheckHive(hive);
    EXPECT_TRUE(result.Has(Rule::kTimestamp)) << result.Text();
    EXPECT_TRUE(result.sound());
    EXPECT_FALSE(result.clean());

    // A reserved double word of the header set so that the XOR is 0, and 0 stored: Windows
    // stores 1. The same for 0xFFFFFFFF.
    for (const std::uint32_t sum : {0u, 0xFFFFFFFFu}) {
        hive = SoundHive();
        Put32(hive, 0x70, 0);
        Put32(hive, 0x70, RawChecksum(hive) ^ sum);
        ASSERT_EQ(RawChecksum(hive), sum);
        Put32(hive, 0x1FC, sum);
        result = CheckHive(hive);
        EXPECT_TRUE(result.Has(Rule::kChecksum)) << result.Text();
        EXPECT_NE(result.Text().find("without Windows' rule"), std::string::npos) << result.Text();
        Put32(hive, 0x1FC, sum == 0 ? 1 : 0xFFFFFFFE);
        EXPECT_TRUE(CheckHive(hive).clean()) << CheckHive(hive).Text();
    }

    const std::string before = SoundHive();
    HiveKey tree = SoundTree();
    tree.Path(u"Test\\Values").Value(Utf16("Ärger")).data = Dword(9);
    HiveLayout later = Layout();
    later.time = kWritten + 10000000;
    const std::string kept = WriteHive(tree, later);
    std::vector<Finding> findings = CheckChange(before, kept);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].key, "\\Test\\Values");
    EXPECT_EQ(findings[0].rule, Rule::kTimestamp);
    tree.Path(u"Test\\Values").time = later.time;
    EXPECT_TRUE(CheckChange(before, WriteHive(tree, later)).empty());
    // The header's time too.
    findings = CheckChange(before, WriteHive(tree, Layout()));
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].offset, 12u);
    // A new key is a change of its parent.
    tree = SoundTree();
    tree.Path(u"Test\\Values\\New");
    findings = CheckChange(before, WriteHive(tree, later));
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].key, "\\Test\\Values");
}

TEST(HiveCheck, FindsTheBaseBlockAndTheBinsDamaged) {
    const std::string sound = SoundHive();
    const auto found = [](std::string hive, Rule rule, bool reseal = true) {
        if (reseal) Reseal(hive);
        const CheckResult result = CheckHive(hive);
        EXPECT_TRUE(result.Has(rule)) << result.Text();
        EXPECT_FALSE(result.sound()) << result.Text();
        return result;
    };
    std::string hive = sound;
    Put32(hive, 4, 2);  // a write begun, not finished
    found(hive, Rule::kSequence);
    hive = sound;
    hive[0x100] ^= 1;
    found(hive, Rule::kChecksum, false);
    hive = sound;
    Put32(hive, 24, 6);
    found(hive, Rule::kBaseBlock);
    hive = sound;
    Put32(hive, 28, 1);  // a log
    found(hive, Rule::kBaseBlock);
    hive = sound;
    Put32(hive, 40, Get32(sound, 40) + 0x1000);
    found(hive, Rule::kBaseBlock);
    hive = sound;
    Put32(hive, 36, Get32(sound, 36) + 8);
    found(hive, Rule::kCells);
    EXPECT_FALSE(CheckHive(sound.substr(0, 0x800)).sound());
    EXPECT_FALSE(CheckHive("").sound());

    // The second bin's signature and offset, then a cell of a size not a multiple of 8.
    const std::size_t second = 0x1000 + Get32(sound, 0x1008);
    ASSERT_EQ(sound.compare(second, 4, "hbin"), 0);
    hive = sound;
    hive[second] = 'x';
    found(hive, Rule::kBins);
    hive = sound;
    Put32(hive, second + 4, 0);
    found(hive, Rule::kBins);
    hive = sound;
    Put32(hive, second + 0x20, Get32(sound, second + 0x20) + 4);
    found(hive, Rule::kCells);
    // An allocated cell nothing reaches: the last bin's free space claimed.
    hive = sound;
    const std::size_t last = hive.size() - 0x1000;
    std::size_t cell = last + 0x20;
    while (static_cast<std::int32_t>(Get32(hive, cell)) < 0) {
        cell += static_cast<std::size_t>(-static_cast<std::int32_t>(Get32(hive, cell)));
    }
    Put32(hive, cell, static_cast<std::uint32_t>(-static_cast<std::int32_t>(Get32(hive, cell))));
    const CheckResult lost = CheckHive(hive);
    EXPECT_TRUE(lost.Has(Rule::kCells)) << lost.Text();
    EXPECT_TRUE(lost.sound()) << lost.Text();
}

TEST(HiveCheck, FindsKeysListsValuesAndSecurityDamaged) {
    const std::string sound = SoundHive();
    const auto check = [](const std::string& hive) { return CheckHive(hive); };
    const std::size_t mix = Node(sound, "Mix");
    const std::size_t values = Node(sound, "Values");
    const std::size_t many = Node(sound, "Many");

    std::string hive = sound;
    Put32(hive, mix + 16, Get32(sound, mix + 16) + 8);  // parent link
    EXPECT_TRUE(check(hive).Has(Rule::kKey, "\\Test\\Mix")) << check(hive).Text();

    hive = sound;
    Put32(hive, values + 20, 1);  // a subkey count its list does not hold
    EXPECT_TRUE(check(hive).Has(Rule::kSubkeyList, "\\Test\\Values")) << check(hive).Text();

    hive = sound;
    Put32(hive, values + 64, 4);  // the largest value data, where "Big" has 40000 bytes
    EXPECT_TRUE(check(hive).Has(Rule::kLargest, "\\Test\\Values")) << check(hive).Text();

    // Many's list is an ri of leaves: one leaf points to the ri itself, then a leaf is named
    // twice.
    const std::uint32_t ri = Get32(sound, many + 28);
    const std::size_t riAt = 0x1000 + ri + 4;
    ASSERT_EQ(sound.compare(riAt, 2, "ri"), 0);
    hive = sound;
    Put32(hive, riAt + 4, ri);
    CheckResult result = check(hive);
    EXPECT_TRUE(result.Has(Rule::kSubkeyList, "\\Many") || result.Has(Rule::kCells, "\\Many"))
        << result.Text();
    hive = sound;
    Put32(hive, riAt + 8, Get32(sound, riAt + 4));
    result = check(hive);
    EXPECT_TRUE(result.Has(Rule::kCells, "\\Many")) << result.Text();
    // A key's subkey list pointing to another key's: the walk must not go round twice.
    hive = sound;
    Put32(hive, mix + 20, 1);
    Put32(hive, mix + 28, ri);
    result = check(hive);
    EXPECT_TRUE(result.Has(Rule::kCells, "\\Test\\Mix")) << result.Text();

    // The value "Three" (3 bytes inside the value) saying it has 8 there; "Big" losing a
    // segment; a value name stored in UTF-16 that fits one byte a character.
    const std::size_t three = sound.find("Three") - 20;
    ASSERT_EQ(sound.compare(three, 2, "vk"), 0);
    hive = sound;
    Put32(hive, three + 4, 0x80000008);
    EXPECT_TRUE(check(hive).Has(Rule::kValue, "\\Test\\Values")) << check(hive).Text();
    const std::size_t big = sound.find("Big") - 20;
    ASSERT_EQ(sound.compare(big, 2, "vk"), 0);
    const std::size_t db = 0x1000 + Get32(sound, big + 8) + 4;
    ASSERT_EQ(sound.compare(db, 2, "db"), 0);
    hive = sound;
    hive[db + 2] = 2;
    EXPECT_TRUE(check(hive).Has(Rule::kValue, "\\Test\\Values")) << check(hive).Text();
    hive = sound;
    Put32(hive, big + 4, 40000 + 16344);
    EXPECT_TRUE(check(hive).Has(Rule::kValue, "\\Test\\Values")) << check(hive).Text();

    // Security: the root's descriptor counts one reference too few, then one too many; a key
    // pointing to a cell that is no security cell.
    const std::size_t root = 0x1000 + Get32(sound, 36) + 4;
    const std::size_t sk = 0x1000 + Get32(sound, root + 44) + 4;
    ASSERT_EQ(sound.compare(sk, 2, "sk"), 0);
    hive = sound;
    Put32(hive, sk + 12, Get32(sound, sk + 12) - 1);
    result = check(hive);
    EXPECT_TRUE(result.Has(Rule::kSecurity)) << result.Text();
    EXPECT_FALSE(result.sound());
    hive = sound;
    Put32(hive, sk + 12, Get32(sound, sk + 12) + 1);
    result = check(hive);
    EXPECT_TRUE(result.Has(Rule::kSecurity)) << result.Text();
    EXPECT_TRUE(result.sound()) << result.Text();
    hive = sound;
    Put32(hive, sk + 4, Get32(sound, root + 44));  // the ring broken: it links to itself
    EXPECT_TRUE(check(hive).Has(Rule::kSecurity)) << check(hive).Text();
    hive = sound;
    Put32(hive, mix + 44, Get32(sound, values + 40));  // Values' value list
    result = check(hive);
    EXPECT_TRUE(result.Has(Rule::kSecurity, "\\Test\\Mix")) << result.Text();
    EXPECT_FALSE(result.sound());
}

// Names in UTF-16 where Windows stores them one byte a character: read as meant, not as
// Windows writes them.
TEST(HiveCheck, FindsNamesNotInTheFormWindowsStoresThem) {
    HiveLayout layout = Layout();
    layout.wideNames = true;
    const CheckResult result = CheckHive(WriteHive(SoundTree(), layout));
    EXPECT_TRUE(result.Has(Rule::kNameForm, "\\Test\\Mix")) << result.Text();
    EXPECT_TRUE(result.Has(Rule::kNameForm, "\\Test\\Values")) << result.Text();
    EXPECT_FALSE(result.Has(Rule::kNameForm, "\\Test\\Жук")) << result.Text();
    EXPECT_TRUE(result.sound()) << result.Text();
}

}  // namespace
