// What Windows XP loads from a hive and its log at boot, by the published description of the
// format and its old transaction log, written here apart from the program's own code so that
// each judges the other: a hive whose sequence numbers are equal is taken as it is; one whose
// numbers differ is completed from its log when the log is whole (signature, file type 1, its
// own numbers equal, checksum) and its time is the hive's, every bin the log's pages fall in
// then checked; otherwise it is not loaded.
#pragma once

#include <string>

namespace testing_support {

struct XpLoad {
    bool loaded = false;
    bool fromLog = false;  // completed from the log
    std::string bins;      // the bins data loaded
    std::string why;       // why it was not loaded
};

// hive: the hive file's bytes; log: its log's bytes ("" when there is none).
XpLoad XpLoadsHive(const std::string& hive, const std::string& log);

// The checksum Windows stores in a base block (the first 508 bytes XORed as double words; 0
// stored as 1, 0xFFFFFFFF as 0xFFFFFFFE).
unsigned XpChecksum(const std::string& base);

}  // namespace testing_support
