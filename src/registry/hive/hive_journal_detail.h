// What the journal's two halves share (hive_journal.cpp opens and completes, and
// hive_journal_write.cpp writes): file calls made whole, a header's numbers and time, the
// group record's text. For the journal only.
#pragma once

#include <sys/types.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace platform::hive::journal {

inline std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

inline std::string Why() {
    return std::strerror(errno);
}

inline std::uint8_t* Bytes(std::string& s) {
    return reinterpret_cast<std::uint8_t*>(s.data());
}
inline const std::uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// All of data written at offset through Files(): "" or why not.
std::string WriteAll(int fd, const void* data, std::size_t size, off_t offset);
// A whole file read: "" or why not.
std::string ReadAll(int fd, std::string* bytes);
// A folder's entries made durable; file systems that cannot sync a folder say EINVAL.
bool SyncFolder(int fd);
// A file made here given the hive's owner and mode; false only for a real failure.
bool OwnLike(int fd, std::uint32_t uid, std::uint32_t gid, std::uint32_t mode);
// Now, as a FILETIME.
std::uint64_t Now();
// A header sector with its sequence numbers and time set, checksum updated.
std::string WithNumbers(std::string header, std::uint32_t sequence1, std::uint32_t sequence2,
                        std::uint64_t time);
// Tells the log a group record names from any other.
std::uint64_t Digest(std::string_view bytes);

// One hive of a group record: its header before the group, the log's numbers, the log itself.
struct RecordEntry {
    std::string name;
    std::uint32_t oldSequence = 0;
    std::uint64_t oldTime = 0;
    std::uint32_t sequence = 0;
    std::uint64_t time = 0;
    std::uint64_t logSize = 0;
    std::uint64_t digest = 0;
};

std::string RecordText(const std::vector<RecordEntry>& entries);
// A record as RecordText writes it, whole ("end" last), or false.
bool ParseRecord(const std::string& text, std::vector<RecordEntry>* entries);

}  // namespace platform::hive::journal
