#include "formats/pe/pe_version.h"

#include <algorithm>
#include <string_view>

namespace platform {
namespace {

constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BDu;
constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint16_t kPe32Magic = 0x10b;
constexpr std::uint16_t kPe32PlusMagic = 0x20b;
constexpr std::size_t kResourceDirectoryIndex = 2;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kDirectoryHeaderSize = 16;
constexpr std::size_t kDirectoryEntrySize = 8;
constexpr std::size_t kDataEntrySize = 16;
constexpr std::size_t kFixedInfoSize = 52;
constexpr std::uint32_t kHighBit = 0x80000000u;
// No real file has more than a handful of resource types; a larger count is hostile.
constexpr std::size_t kMaxDirectoryEntries = 4096;
constexpr std::u16string_view kVersionKey = u"VS_VERSION_INFO";

// Little-endian reads that fail instead of reading past the end.
class Bytes {
  public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t size() const { return size_; }
    bool Has(std::size_t offset, std::size_t length) const {
        return offset <= size_ && length <= size_ - offset;
    }
    std::optional<std::uint16_t> U16(std::size_t offset) const {
        if (!Has(offset, 2)) return std::nullopt;
        return static_cast<std::uint16_t>(data_[offset] | (data_[offset + 1] << 8));
    }
    std::optional<std::uint32_t> U32(std::size_t offset) const {
        if (!Has(offset, 4)) return std::nullopt;
        return static_cast<std::uint32_t>(data_[offset]) |
               static_cast<std::uint32_t>(data_[offset + 1]) << 8 |
               static_cast<std::uint32_t>(data_[offset + 2]) << 16 |
               static_cast<std::uint32_t>(data_[offset + 3]) << 24;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
};

struct Section {
    std::uint32_t virtualAddress = 0;
    std::uint32_t virtualSize = 0;
    std::uint32_t rawSize = 0;
    std::uint32_t rawPointer = 0;
};

// Where an RVA's bytes lie in the file, and how many of them the file holds from there on
// within the same section.
struct Span {
    std::size_t offset = 0;
    std::size_t available = 0;
};

class Image {
  public:
    Image(const Bytes& bytes, std::size_t sectionTable, std::uint16_t count)
        : bytes_(bytes), sectionTable_(sectionTable), count_(count) {}

    std::optional<Span> Map(std::uint64_t rva) const {
        if (rva > 0xFFFFFFFFu) return std::nullopt;
        for (std::size_t i = 0; i < count_; ++i) {
            const std::optional<Section> s = SectionAt(i);
            if (!s) return std::nullopt;
            // The loader sizes a section by its virtual size, or by its raw size when that is 0.
            const std::uint64_t extent = s->virtualSize != 0 ? s->virtualSize : s->rawSize;
            if (rva < s->virtualAddress || rva - s->virtualAddress >= extent) continue;
            const std::uint64_t delta = rva - s->virtualAddress;
            // Only the raw data within the virtual size is mapped; the rest reads as zeros in
            // memory, and no resource lives there.
            const std::uint64_t mapped = std::min<std::uint64_t>(extent, s->rawSize);
            if (delta >= mapped) return std::nullopt;
            const std::uint64_t offset = std::uint64_t{s->rawPointer} + delta;
            if (offset >= bytes_.size()) return std::nullopt;
            const std::uint64_t inSection = mapped - delta;
            const std::uint64_t inFile = bytes_.size() - offset;
            return Span{static_cast<std::size_t>(offset),
                        static_cast<std::size_t>(std::min(inSection, inFile))};
        }
        return std::nullopt;
    }

    // The file offset of `length` bytes at an RVA, all of them present.
    std::optional<std::size_t> MapExactly(std::uint64_t rva, std::size_t length) const {
        const std::optional<Span> span = Map(rva);
        if (!span || span->available < length) return std::nullopt;
        return span->offset;
    }

  private:
    std::optional<Section> SectionAt(std::size_t index) const {
        const std::size_t at = sectionTable_ + index * kSectionHeaderSize;
        const auto virtualSize = bytes_.U32(at + 8);
        const auto virtualAddress = bytes_.U32(at + 12);
        const auto rawSize = bytes_.U32(at + 16);
        const auto rawPointer = bytes_.U32(at + 20);
        if (!virtualSize || !virtualAddress || !rawSize || !rawPointer) return std::nullopt;
        return Section{*virtualAddress, *virtualSize, *rawSize, *rawPointer};
    }

    const Bytes& bytes_;
    std::size_t sectionTable_;
    std::uint16_t count_;
};

struct Entry {
    std::uint32_t name = 0;
    std::uint32_t offsetToData = 0;
    bool HasId(std::uint32_t id) const { return (name & kHighBit) == 0 && name == id; }
    bool IsDirectory() const { return (offsetToData & kHighBit) != 0; }
    std::uint32_t Target() const { return offsetToData & ~kHighBit; }
};

// The resource tree; offsets in it count from the start of the resource data.
class ResourceWalk {
  public:
    ResourceWalk(const Bytes& bytes, const Image& image, std::uint32_t base)
        : bytes_(bytes), image_(image), base_(base) {}

    // A directory's header and its entries, which follow it in the same section. Mapped
    // once, so that scanning the entries costs no section lookups.
    struct Directory {
        Span span;
        std::size_t count = 0;
    };

    std::optional<Directory> DirectoryAt(std::uint32_t offset) const {
        const auto span = image_.Map(std::uint64_t{base_} + offset);
        if (!span || span->available < kDirectoryHeaderSize) return std::nullopt;
        const auto named = bytes_.U16(span->offset + 12);
        const auto ids = bytes_.U16(span->offset + 14);
        if (!named || !ids) return std::nullopt;
        return Directory{*span,
                         std::min<std::size_t>(std::size_t{*named} + *ids, kMaxDirectoryEntries)};
    }

    std::optional<Entry> EntryAt(const Directory& directory, std::size_t index) const {
        const std::size_t at = kDirectoryHeaderSize + index * kDirectoryEntrySize;
        if (index >= directory.count || at > directory.span.available ||
            kDirectoryEntrySize > directory.span.available - at) {
            return std::nullopt;
        }
        const auto name = bytes_.U32(directory.span.offset + at);
        const auto data = bytes_.U32(directory.span.offset + at + 4);
        if (!name || !data) return std::nullopt;
        return Entry{*name, *data};
    }

    // The single path the version functions take: type RT_VERSION, its first name, the
    // first language of that. Three fixed levels, so a tree that loops cannot hold us.
    std::optional<Span> VersionData() const {
        const auto root = DirectoryAt(0);
        if (!root) return std::nullopt;
        std::optional<Entry> type;
        for (std::size_t i = 0; i < root->count && !type; ++i) {
            const auto entry = EntryAt(*root, i);
            if (!entry) return std::nullopt;
            if (entry->HasId(kRtVersion)) type = entry;
        }
        if (!type || !type->IsDirectory()) return std::nullopt;
        const auto name = FirstEntry(type->Target());
        if (!name || !name->IsDirectory()) return std::nullopt;
        const auto language = FirstEntry(name->Target());
        if (!language || language->IsDirectory()) return std::nullopt;

        const auto at =
            image_.MapExactly(std::uint64_t{base_} + language->Target(), kDataEntrySize);
        if (!at) return std::nullopt;
        const auto dataRva = bytes_.U32(*at);
        const auto dataSize = bytes_.U32(*at + 4);
        if (!dataRva || !dataSize) return std::nullopt;
        auto span = image_.Map(*dataRva);
        if (!span) return std::nullopt;
        span->available = static_cast<std::size_t>(
            std::min<std::uint64_t>(span->available, std::uint64_t{*dataSize}));
        return span;
    }

  private:
    std::optional<Entry> FirstEntry(std::uint32_t directory) const {
        const auto found = DirectoryAt(directory);
        if (!found) return std::nullopt;
        return EntryAt(*found, 0);
    }

    const Bytes& bytes_;
    const Image& image_;
    std::uint32_t base_;
};

// VS_VERSIONINFO: wLength, wValueLength, wType, the UTF-16 key "VS_VERSION_INFO", padding
// to 32 bits, then VS_FIXEDFILEINFO.
std::optional<FixedFileVersion> ParseVersionInfo(const Bytes& bytes, Span block) {
    const auto length = bytes.U16(block.offset);
    const auto valueLength = bytes.U16(block.offset + 2);
    if (!length || !valueLength) return std::nullopt;
    const std::size_t limit = std::min<std::size_t>(*length, block.available);

    std::size_t keyAt = 6;
    for (const char16_t expected : kVersionKey) {
        if (keyAt + 2 > limit) return std::nullopt;
        if (bytes.U16(block.offset + keyAt) != std::uint16_t{expected}) return std::nullopt;
        keyAt += 2;
    }
    if (keyAt + 2 > limit || bytes.U16(block.offset + keyAt) != std::uint16_t{0}) {
        return std::nullopt;
    }
    keyAt += 2;

    const std::size_t valueAt = (keyAt + 3) & ~std::size_t{3};
    if (*valueLength < kFixedInfoSize || valueAt + kFixedInfoSize > limit) return std::nullopt;
    const std::size_t fixed = block.offset + valueAt;
    const auto signature = bytes.U32(fixed);
    const auto ms = bytes.U32(fixed + 8);
    const auto ls = bytes.U32(fixed + 12);
    if (!signature || !ms || !ls || *signature != kFixedInfoSignature) return std::nullopt;
    return FixedFileVersion{*ms, *ls};
}

}  // namespace

std::optional<FixedFileVersion> ReadPeFileVersion(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size > kMaxPeFileSize) return std::nullopt;
    const Bytes bytes(data, size);

    if (!bytes.Has(0, 0x40) || data[0] != 'M' || data[1] != 'Z') return std::nullopt;
    const auto peOffset = bytes.U32(0x3C);
    if (!peOffset || !bytes.Has(*peOffset, 24)) return std::nullopt;
    const std::size_t pe = *peOffset;
    if (data[pe] != 'P' || data[pe + 1] != 'E' || data[pe + 2] != 0 || data[pe + 3] != 0) {
        return std::nullopt;
    }
    const std::size_t coff = pe + 4;
    const auto sectionCount = bytes.U16(coff + 2);
    const auto optionalSize = bytes.U16(coff + 16);
    if (!sectionCount || !optionalSize) return std::nullopt;
    const std::size_t optional = coff + 20;
    if (!bytes.Has(optional, *optionalSize)) return std::nullopt;

    const auto magic = bytes.U16(optional);
    std::size_t countAt = 0;
    std::size_t directoriesAt = 0;
    if (magic == kPe32Magic) {
        countAt = 92;
        directoriesAt = 96;
    } else if (magic == kPe32PlusMagic) {
        countAt = 108;
        directoriesAt = 112;
    } else {
        return std::nullopt;
    }
    const std::size_t resourceAt = directoriesAt + kResourceDirectoryIndex * 8;
    if (*optionalSize < resourceAt + 8) return std::nullopt;
    const auto directoryCount = bytes.U32(optional + countAt);
    if (!directoryCount || *directoryCount <= kResourceDirectoryIndex) return std::nullopt;
    const auto resourceRva = bytes.U32(optional + resourceAt);
    const auto resourceSize = bytes.U32(optional + resourceAt + 4);
    if (!resourceRva || !resourceSize || *resourceRva == 0 || *resourceSize == 0) {
        return std::nullopt;
    }

    const std::size_t sectionTable = optional + *optionalSize;
    if (!bytes.Has(sectionTable, std::size_t{*sectionCount} * kSectionHeaderSize)) {
        return std::nullopt;
    }
    const Image image(bytes, sectionTable, *sectionCount);
    const ResourceWalk walk(bytes, image, *resourceRva);
    const std::optional<Span> block = walk.VersionData();
    if (!block) return std::nullopt;
    return ParseVersionInfo(bytes, *block);
}

}  // namespace platform
