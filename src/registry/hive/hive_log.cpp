#include "registry/hive/hive_log.h"

#include <cstring>

namespace platform::hive {

namespace {

constexpr char kDirtyVector[] = "DIRT";
constexpr std::size_t kSignatureSize = 4;

// Bytes of a log's dirty vector, its signature and padding included.
std::uint64_t VectorSize(std::uint32_t binsSize) {
    const std::uint64_t bytes = kSignatureSize + binsSize / kSectorSize / 8;
    return (bytes + kSectorSize - 1) / kSectorSize * kSectorSize;
}

}  // namespace

std::string MakeLog(const std::uint8_t* header, const std::uint8_t* bins, std::uint32_t binsSize,
                    const std::vector<PageRun>& runs) {
    std::uint64_t dirtyPages = 0;
    for (const PageRun& run : runs) dirtyPages += run.size / kSectorSize;
    const std::uint64_t pagesAt = kSectorSize + VectorSize(binsSize);
    std::string log(pagesAt + dirtyPages * kSectorSize, '\0');
    auto* out = reinterpret_cast<std::uint8_t*>(log.data());

    std::memcpy(out, header, kSectorSize);
    const std::uint32_t sequence = Le32(header + field::kSequence1);
    PutLe32(out + field::kSequence1, sequence);
    PutLe32(out + field::kSequence2, sequence);
    PutLe32(out + field::kFileType, kLogFile);
    SetHeaderChecksum(out);

    std::memcpy(out + kSectorSize, kDirtyVector, kSignatureSize);
    std::uint8_t* bitmap = out + kSectorSize + kSignatureSize;
    std::uint8_t* page = out + pagesAt;
    for (const PageRun& run : runs) {
        for (std::uint32_t at = run.offset; at < run.offset + run.size; at += kSectorSize) {
            const std::uint32_t bit = at / kSectorSize;
            bitmap[bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
        }
        std::memcpy(page, bins + run.offset, run.size);
        page += run.size;
    }
    return log;
}

std::string ReadLog(std::string_view bytes, Log* log) {
    if (bytes.size() < 2 * kSectorSize) return "it is shorter than two sectors";
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (std::memcmp(p, "regf", 4) != 0) return "it does not start with \"regf\"";
    Header& h = log->header;
    h.sequence1 = Le32(p + field::kSequence1);
    h.sequence2 = Le32(p + field::kSequence2);
    h.timeStamp = Le64(p + field::kTimeStamp);
    h.major = Le32(p + field::kMajor);
    h.minor = Le32(p + field::kMinor);
    h.fileType = Le32(p + field::kFileType);
    h.fileFormat = Le32(p + field::kFileFormat);
    h.rootCell = Le32(p + field::kRootCell);
    h.binsSize = Le32(p + field::kBinsSize);
    h.cluster = Le32(p + field::kCluster);
    h.checksum = Le32(p + field::kChecksum);
    h.computedChecksum = HeaderChecksum(p);
    if (h.checksum != h.computedChecksum) return "its header is damaged (checksum)";
    if (h.fileType != kLogFile) {
        return "it is not a transaction log (file type " + std::to_string(h.fileType) + ")";
    }
    if (h.major != 1 || h.minor < 1 || h.minor > 6 || h.fileFormat != 1) {
        return "its header names an unknown format";
    }
    // Windows raises the second number only once the whole log is written.
    if (h.sequence1 != h.sequence2) return "it was not written to its end";
    // Another cluster size moves the dirty vector and the pages: not read rather than misread.
    if (h.cluster != 1) {
        return "it was written for sectors of " + std::to_string(h.cluster * kSectorSize) +
               " bytes";
    }
    if (h.binsSize == 0 || h.binsSize % kBinAlignment != 0) {
        return "its header gives a bins size of " + std::to_string(h.binsSize) + " bytes";
    }
    const std::uint64_t pagesAt = kSectorSize + VectorSize(h.binsSize);
    if (bytes.size() < pagesAt) return "it is shorter than its dirty vector";
    if (std::memcmp(p + kSectorSize, kDirtyVector, kSignatureSize) != 0) {
        return "it has no dirty vector (\"DIRT\")";
    }
    const std::uint8_t* bitmap = p + kSectorSize + kSignatureSize;
    log->pages.clear();
    const std::uint32_t bits = h.binsSize / kSectorSize;
    for (std::uint32_t bit = 0; bit < bits; ++bit) {
        if (bitmap[bit / 8] & (1u << (bit % 8))) log->pages.push_back(bit);
    }
    if (log->pages.empty()) return "it names no page";
    const std::uint64_t dataSize = std::uint64_t{log->pages.size()} * kSectorSize;
    if (bytes.size() - pagesAt < dataSize) return "it is shorter than the pages it names";
    log->data = bytes.substr(pagesAt, dataSize);
    return "";
}

std::string LogFinishes(const Log& log, const Header& hive) {
    if (hive.sequence1 == hive.sequence2) return "the hive's last write was completed";
    if (log.header.timeStamp != hive.timeStamp) {
        return "it is the log of another write (its time is not the hive's)";
    }
    if (log.header.minor != hive.minor || log.header.binsSize != hive.binsSize) {
        return "it is the log of another hive (its format or size is not the hive's)";
    }
    const std::uint32_t sequence = log.header.sequence1;
    if (sequence != hive.sequence1 && sequence + 1 != hive.sequence1) {
        return "it is the log of another write (its sequence number is not the hive's)";
    }
    return "";
}

std::string ApplyLog(const Log& log, std::string* image) {
    const std::uint64_t size = kBaseBlockSize + std::uint64_t{log.header.binsSize};
    std::string result = *image;
    result.resize(size, '\0');
    char* bins = result.data() + kBaseBlockSize;
    for (std::size_t i = 0; i < log.pages.size(); ++i) {
        std::memcpy(bins + std::size_t{log.pages[i]} * kSectorSize,
                    log.data.data() + i * kSectorSize, kSectorSize);
    }
    const std::string problem =
        CheckBins(reinterpret_cast<const std::uint8_t*>(bins), log.header.binsSize);
    if (!problem.empty()) return "its pages leave the hive damaged: " + problem;
    *image = std::move(result);
    return "";
}

std::vector<PageRun> RunsOf(const Log& log) {
    std::vector<PageRun> runs;
    for (const std::uint32_t page : log.pages) {
        const std::uint32_t offset = page * static_cast<std::uint32_t>(kSectorSize);
        if (!runs.empty() && runs.back().offset + runs.back().size == offset) {
            runs.back().size += kSectorSize;
        } else {
            runs.push_back({offset, static_cast<std::uint32_t>(kSectorSize)});
        }
    }
    return runs;
}

}  // namespace platform::hive
