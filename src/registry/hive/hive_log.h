// A hive's transaction log as Windows XP writes and reads it (the "old" log format of Windows NT
// up to XP and Server 2003, in SYSTEM.LOG beside SYSTEM): the changed bins of one write, kept
// before they go into the hive, so that a write cut short is completed at the next load.
//
//   sector 0       the first sector of the hive's base block as the write makes it, with file
//                  type 1 and both sequence numbers at the write's number (a log is whole only
//                  when they are equal), its checksum by Windows' rule
//   sector 1...    "DIRT", then one bit for each 512-byte page of the bins data (bit i of byte
//                  i / 8, lowest first; the bins data size / 512 bits), padded to a sector
//   then           each dirty page, 512 bytes, in the order of its bit
//
// Windows applies a log only to a hive whose sequence numbers differ, when the log is whole
// and its time equals the hive's; it then checks every bin the pages fall in. Pure functions
// over bytes: hive_journal.h does the files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "registry/hive/hive_format.h"

namespace platform::hive {

// Bytes of the bins data (offset from the first bin), in whole 512-byte pages.
struct PageRun {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

// The log of a write. header: the hive's base block as the write leaves it (sequence numbers
// and time set; 512 bytes at least); bins: the bins data as the write leaves it, binsSize
// bytes; runs: what changed, whole pages, in order and apart.
std::string MakeLog(const std::uint8_t* header, const std::uint8_t* bins, std::uint32_t binsSize,
                    const std::vector<PageRun>& runs);

// A log read back.
struct Log {
    Header header;                     // its base block copy (file type 1)
    std::vector<std::uint32_t> pages;  // the numbers of its dirty pages, in order
    std::string_view data;             // the pages, 512 bytes each, in that order
};

// Reads a log's bytes; "" when it is whole (signature, file type 1, its sequence numbers equal,
// checksum, one sector a cluster, a bins size of 4096-byte bins, "DIRT", at least one page and
// every page it names in the file), else why it is not. bytes must outlive log->data.
std::string ReadLog(std::string_view bytes, Log* log);

// "" when a whole log belongs to the hive whose base block is hive and whose last write it
// did not finish: the hive's sequence numbers differ and the log's time is the hive's (the
// rule of Windows), and its format version and bins size are the hive's and its sequence
// number the hive's first one (as this program writes it) or one less (as Windows XP does);
// else why it does not.
std::string LogFinishes(const Log& log, const Header& hive);

// Puts a log's pages into a hive's bytes (base block and bins data; grown to the log's bins
// size when shorter) and checks the bins they make: "" or why the result is no hive's, when
// the image is left as it was.
std::string ApplyLog(const Log& log, std::string* image);

// The runs of a log's pages, merged where they touch.
std::vector<PageRun> RunsOf(const Log& log);

}  // namespace platform::hive
