// An index checker for registry hive files, written from the published description of the format
// and Windows XP's rules, independently of the code that writes hives: it is the judge of what
// that code leaves on someone's disk. It reads a hive's bytes and reports every rule broken,
// with where: the base block, the hbin chain, the cells, every key (its fields, its parent link,
// its subkey list in Windows' order with the lh hashes and lf hints Windows writes, no two
// names equal by Windows' upper-case rule), every value (its list, its data, big data), the
// security cells and their reference counts, and the allocated cells nothing reaches.
// A damaged or hostile file is reported, never trusted: every read is bounds-checked and every
// cell is visited once, so the check ends on any input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::hive {

// Which rule a finding is about.
enum class Rule {
    kBaseBlock,   // signature, versions, file type and format, root cell, bins size
    kChecksum,    // the header checksum, by Windows' rule
    kSequence,    // the sequence numbers differ: a write was begun and not completed
    kTimestamp,   // the header's or a key's last-written time
    kBins,        // the hbin chain: signatures, offsets, sizes, contiguity
    kCells,       // cell sizes and bounds, references to what is not an allocated cell,
                  // cells shared by two structures, allocated cells nothing reaches
    kKey,         // key node fields, flags, names, parent links
    kSubkeyList,  // li/lf/lh/ri lists and the subkey counts
    kOrder,       // subkeys out of Windows' order
    kHash,        // lh hashes and lf hints other than Windows writes them
    kDuplicate,   // two subkeys, or two values of a key, whose names Windows sees as one
    kValue,       // value lists, value cells, data cells, inline and big data
    kSecurity,    // the security cells' list and reference counts, the descriptors
    kNameForm,    // a name in UTF-16 that Windows stores one byte a character
    kLargest,     // a key's largest-name, -class and -data fields below what it holds
};

enum class Severity {
    kDamage,     // Windows refuses, misreads or loses something, or its tools fail on it
    kDeviation,  // Windows reads it as meant, but does not write it so (or it wastes space)
};

struct Finding {
    Rule rule;
    Severity severity;
    std::uint64_t offset = 0;  // file offset of the structure concerned
    std::string key;           // the key concerned ("\" the root, "\Select"), "" for none
    std::string text;
};

struct CheckResult {
    std::vector<Finding> findings;  // the first kMaxKept found
    std::size_t total = 0;          // every finding, kept or not
    std::size_t damage = 0;         // those of Severity::kDamage
    std::size_t keys = 0;
    std::size_t values = 0;
    std::size_t bins = 0;
    std::size_t cells = 0;

    static constexpr std::size_t kMaxKept = 1000;

    // Nothing found: the hive is as Windows writes one.
    bool clean() const { return total == 0; }
    // Nothing that Windows would refuse or misread.
    bool sound() const { return damage == 0; }
    // Whether a finding of this rule was kept, for this key when one is given.
    bool Has(Rule rule, std::string_view key = {}) const;
    // The findings, one a line ("0x001020 \Select: ..."), at most maxLines of them.
    std::string Text(std::size_t maxLines = 20) const;
};

// Checks a hive file's bytes. When contents is given, it receives what the hive holds as the
// checker read it, one line a key and one a value (values in Windows' order of their names,
// data longer than 32 bytes as its length and a hash), for telling whether two hives hold the
// same: keys' times and the cells' places are not in it.
CheckResult CheckHive(std::string_view bytes, std::string* contents = nullptr);

// The rules of a write that one hive alone cannot show: every key whose values or subkeys
// differ between before and after has a later last-written time after, and so has the header.
// Both should be sound hives; findings name keys of after.
std::vector<Finding> CheckChange(std::string_view before, std::string_view after);

// The header checksum as Windows stores it: the XOR of the first 127 double words, where 0 is
// stored as 1 and 0xFFFFFFFF as 0xFFFFFFFE.
std::uint32_t WindowsHeaderChecksum(const std::uint8_t* base);

}  // namespace platform::hive
