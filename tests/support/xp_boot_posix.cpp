#include "support/xp_boot_posix.h"

#include <cstdint>

namespace testing_support {

namespace {

std::uint32_t U32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[at + i]);
    return v;
}

std::uint64_t U64(const std::string& s, std::size_t at) {
    return U32(s, at) | (std::uint64_t{U32(s, at + 4)} << 32);
}

XpLoad Refused(const std::string& why) {
    XpLoad load;
    load.why = why;
    return load;
}

}  // namespace

unsigned XpChecksum(const std::string& base) {
    std::uint32_t x = 0;
    for (std::size_t i = 0; i < 508; i += 4) x ^= U32(base, i);
    return x == 0 ? 1 : x == 0xFFFFFFFF ? 0xFFFFFFFE : x;
}

XpLoad XpLoadsHive(const std::string& hive, const std::string& log) {
    if (hive.size() < 4096 || hive.compare(0, 4, "regf") != 0) return Refused("no hive");
    if (U32(hive, 508) != XpChecksum(hive)) return Refused("hive checksum");
    const std::uint32_t length = U32(hive, 40);
    if (hive.size() < 4096 + std::uint64_t{length}) return Refused("hive shorter than its bins");
    XpLoad load;
    if (U32(hive, 4) == U32(hive, 8)) {
        load.loaded = true;
        load.bins = hive.substr(4096, length);
        return load;
    }
    // Not completed: the log must be whole and of this very write.
    if (log.size() < 1024 || log.compare(0, 4, "regf") != 0) return Refused("no log");
    if (U32(log, 28) != 1) return Refused("log type");
    if (U32(log, 4) != U32(log, 8)) return Refused("log not whole");
    if (U32(log, 508) != XpChecksum(log)) return Refused("log checksum");
    if (U64(log, 12) != U64(hive, 12)) return Refused("log time");
    if (log.compare(512, 4, "DIRT") != 0) return Refused("no dirty vector");
    const std::uint32_t logLength = U32(log, 40);
    if (logLength == 0 || logLength % 4096 != 0) return Refused("log length");
    const std::size_t bitmapBytes = logLength / 512 / 8;
    const std::size_t pages = (512 + 4 + bitmapBytes + 511) / 512 * 512;
    if (log.size() < pages) return Refused("log shorter than its vector");
    std::string bins = hive.substr(4096, length);
    bins.resize(logLength, '\0');
    std::size_t n = 0;
    for (std::size_t bit = 0; bit < logLength / 512; ++bit) {
        if (!(static_cast<unsigned char>(log[512 + 4 + bit / 8]) & (1u << (bit % 8)))) continue;
        if (log.size() < pages + (n + 1) * 512) return Refused("log shorter than its pages");
        bins.replace(bit * 512, 512, log, pages + n * 512, 512);
        ++n;
    }
    // Every bin must be sound where the pages fell: walk them all.
    for (std::size_t at = 0; at < bins.size();) {
        if (bins.compare(at, 4, "hbin") != 0 || U32(bins, at + 4) != at) {
            return Refused("bin at " + std::to_string(at));
        }
        const std::uint32_t size = U32(bins, at + 8);
        if (size < 4096 || size % 4096 != 0 || at + size > bins.size()) {
            return Refused("bin size at " + std::to_string(at));
        }
        at += size;
    }
    load.loaded = true;
    load.fromLog = true;
    load.bins = std::move(bins);
    return load;
}

}  // namespace testing_support
