#include "registry/hive/hive_cells.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "registry/hive/hive_format.h"

namespace platform::hive {

namespace {

constexpr std::uint32_t kBase = 0x1000;  // the base block before the bins
// Cells start 8-byte aligned and are a multiple of 8 long; a free cell split off is at least
// this long, so that no sliver too small for any record is left behind.
constexpr std::uint32_t kAlign = 8;
constexpr std::uint32_t kSmallestSplit = 16;
// Cell offsets keep their top bit for Windows' volatile storage: the bins stay below 2 GB.
constexpr std::uint64_t kMaxBinsSize = 0x7FFFF000;

std::uint32_t Get32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void Set32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::string At(std::uint32_t offset) {
    return FileOffset(offset);
}

}  // namespace

std::string FileOffset(Cell cell) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(kBase) + cell);
    return text;
}

std::string Cells::Load(std::vector<std::uint8_t> file) {
    bytes_ = std::move(file);
    if (bytes_.size() < kBase) return "it has no base block";
    binsSize_ = Get32(bytes_.data() + 0x28);
    if (binsSize_ == 0 || binsSize_ % kBinUnit != 0 || binsSize_ > kMaxBinsSize ||
        bytes_.size() - kBase < binsSize_) {
        return "its header gives a size the file does not have";
    }
    // What follows the last bin is no part of the hive.
    bytes_.resize(kBase + binsSize_);
    // Room for bins to come without moving the hive at its first new bin (nothing moves when
    // the caller read the file into a vector with this room already: SpareRoom).
    bytes_.reserve(SpareRoom(bytes_.size()));
    bins_.clear();
    dirty_.clear();
    allocatedStart_.assign(binsSize_ / kAlign, false);
    freeByOffset_.clear();
    freeBySize_.clear();
    freeBytes_ = 0;
    for (std::uint32_t offset = 0; offset < binsSize_;) {
        const std::uint8_t* bin = bytes_.data() + kBase + offset;
        const std::uint32_t size = Get32(bin + 8);
        if (std::memcmp(bin, "hbin", 4) != 0) {
            return "there is no hive bin where one must start, at file offset " + At(offset);
        }
        if (Get32(bin + 4) != offset || size < kBinUnit || size % kBinUnit != 0 ||
            size > binsSize_ - offset) {
            return "the hive bin at file offset " + At(offset) + " gives a wrong place or size";
        }
        bins_.push_back(Bin{offset, size});
        for (std::uint32_t at = offset + kBinHeaderSize; at < offset + size;) {
            const std::int32_t field = SizeField(at);
            const std::uint32_t length = field < 0 ? 0u - static_cast<std::uint32_t>(field)
                                                   : static_cast<std::uint32_t>(field);
            if (length < kAlign || length % kAlign != 0 || length > offset + size - at) {
                return "the cell at file offset " + At(at) + " does not fit its hive bin";
            }
            if (field < 0) {
                allocatedStart_[at / kAlign] = true;
            } else {
                AddFree(at, length);
            }
            at += length;
        }
        offset += size;
    }
    return "";
}

std::size_t Cells::BinOf(std::uint32_t offset) const {
    const auto it =
        std::upper_bound(bins_.begin(), bins_.end(), offset,
                         [](std::uint32_t at, const Bin& bin) { return at < bin.offset; });
    return static_cast<std::size_t>(it - bins_.begin()) - 1;
}

std::int32_t Cells::SizeField(std::uint32_t offset) const {
    return static_cast<std::int32_t>(Get32(bytes_.data() + kBase + offset));
}

void Cells::SetSizeField(std::uint32_t offset, std::int32_t size) {
    Set32(bytes_.data() + kBase + offset, static_cast<std::uint32_t>(size));
}

bool Cells::IsAllocated(Cell cell) const {
    return cell < binsSize_ && cell % kAlign == 0 && allocatedStart_[cell / kAlign];
}

std::uint32_t Cells::Capacity(Cell cell) const {
    if (!IsAllocated(cell))
        throw Error("a reference to file offset " + At(cell) + " leads to no cell in use");
    return static_cast<std::uint32_t>(-SizeField(cell)) - 4;
}

const std::uint8_t* Cells::Data(Cell cell, std::uint64_t need) const {
    if (Capacity(cell) < need) {
        throw Error("the cell at file offset " + At(cell) + " is too small for what it holds");
    }
    return bytes_.data() + kBase + cell + 4;
}

std::uint16_t Cells::U16(Cell cell, std::uint32_t at) const {
    const std::uint8_t* p = Data(cell, std::uint64_t{at} + 2) + at;
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Cells::U32(Cell cell, std::uint32_t at) const {
    return Get32(Data(cell, std::uint64_t{at} + 4) + at);
}

std::uint64_t Cells::U64(Cell cell, std::uint32_t at) const {
    return U32(cell, at) | (static_cast<std::uint64_t>(U32(cell, at + 4)) << 32);
}

std::uint8_t* Cells::Writable(Cell cell, std::uint32_t at, std::uint32_t size) {
    if (static_cast<std::uint64_t>(at) + size > Capacity(cell)) {
        throw Error("a write would pass the end of the cell at file offset " + At(cell));
    }
    MarkDirty(cell);
    return bytes_.data() + kBase + cell + 4 + at;
}

void Cells::Put16(Cell cell, std::uint32_t at, std::uint16_t value) {
    std::uint8_t* p = Writable(cell, at, 2);
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

void Cells::Put32(Cell cell, std::uint32_t at, std::uint32_t value) {
    Set32(Writable(cell, at, 4), value);
}

void Cells::Put64(Cell cell, std::uint32_t at, std::uint64_t value) {
    std::uint8_t* p = Writable(cell, at, 8);
    Set32(p, static_cast<std::uint32_t>(value));
    Set32(p + 4, static_cast<std::uint32_t>(value >> 32));
}

void Cells::PutBytes(Cell cell, std::uint32_t at, const std::uint8_t* data, std::uint32_t size) {
    std::uint8_t* p = Writable(cell, at, size);
    if (size) std::memcpy(p, data, size);
}

void Cells::Move(Cell cell, std::uint32_t to, std::uint32_t from, std::uint32_t size) {
    const std::uint32_t low = std::min(to, from);
    std::uint8_t* p = Writable(cell, low, std::max(to, from) - low + size);
    std::memmove(p + (to - low), p + (from - low), size);
}

void Cells::MarkDirty(std::uint32_t offset) {
    dirty_.insert(static_cast<std::uint32_t>(BinOf(offset)));
}

void Cells::SetStart(Cell cell, bool allocated) {
    allocatedStart_[cell / kAlign] = allocated;
}

void Cells::AddFree(Cell cell, std::uint32_t size) {
    freeByOffset_[cell] = size;
    freeBySize_.insert({size, cell});
    freeBytes_ += size;
}

void Cells::RemoveFree(Cell cell) {
    const auto it = freeByOffset_.find(cell);
    freeBySize_.erase({it->second, cell});
    freeBytes_ -= it->second;
    freeByOffset_.erase(it);
}

Cell Cells::AppendBin(std::uint32_t cellSize) {
    const std::uint64_t size =
        (std::uint64_t{cellSize} + kBinHeaderSize + kBinUnit - 1) / kBinUnit * kBinUnit;
    if (binsSize_ + size > kMaxBinsSize) {
        throw Error("the hive would grow past the 2 GB a hive can hold");
    }
    const std::uint32_t offset = binsSize_;
    binsSize_ += static_cast<std::uint32_t>(size);
    bytes_.resize(kBase + binsSize_, 0);
    std::uint8_t* bin = bytes_.data() + kBase + offset;
    std::memcpy(bin, "hbin", 4);
    Set32(bin + 4, offset);
    Set32(bin + 8, static_cast<std::uint32_t>(size));
    Set32(bytes_.data() + 0x28, binsSize_);
    Set32(bytes_.data() + 0x1FC, HeaderChecksum(bytes_.data()));
    bins_.push_back(Bin{offset, static_cast<std::uint32_t>(size)});
    allocatedStart_.resize(binsSize_ / kAlign, false);
    const Cell cell = offset + kBinHeaderSize;
    const std::uint32_t rest = static_cast<std::uint32_t>(size) - kBinHeaderSize - cellSize;
    if (rest > 0) {
        SetSizeField(cell + cellSize, static_cast<std::int32_t>(rest));
        AddFree(cell + cellSize, rest);
    }
    MarkDirty(offset);
    return cell;
}

Cell Cells::Allocate(std::uint32_t size) {
    if (size > kMaxBinsSize) throw Error("a value too large for a hive");
    std::uint32_t length = std::max(kAlign, (size + 4 + kAlign - 1) / kAlign * kAlign);
    Cell cell;
    const auto fit = freeBySize_.lower_bound({length, 0});
    if (fit != freeBySize_.end()) {
        cell = fit->second;
        const std::uint32_t have = fit->first;
        RemoveFree(cell);
        if (have - length >= kSmallestSplit) {
            SetSizeField(cell + length, static_cast<std::int32_t>(have - length));
            AddFree(cell + length, have - length);
        } else {
            length = have;
        }
    } else {
        cell = AppendBin(length);
    }
    SetSizeField(cell, -static_cast<std::int32_t>(length));
    SetStart(cell, true);
    std::memset(bytes_.data() + kBase + cell + 4, 0, length - 4);
    MarkDirty(cell);
    return cell;
}

void Cells::Free(Cell cell) {
    std::uint32_t length = Capacity(cell) + 4;
    SetStart(cell, false);
    const Bin& bin = bins_[BinOf(cell)];
    Cell start = cell;
    // Merged with the free cells on either side, as long as they are in the same bin.
    if (cell + length < bin.offset + bin.size) {
        const auto next = freeByOffset_.find(cell + length);
        if (next != freeByOffset_.end()) {
            length += next->second;
            RemoveFree(next->first);
        }
    }
    auto previous = freeByOffset_.lower_bound(cell);
    if (previous != freeByOffset_.begin()) {
        --previous;
        if (previous->first >= bin.offset && previous->first + previous->second == cell) {
            start = previous->first;
            length += previous->second;
            RemoveFree(start);
        }
    }
    SetSizeField(start, static_cast<std::int32_t>(length));
    AddFree(start, length);
    MarkDirty(start);
}

Cell Cells::Reallocate(Cell cell, std::uint32_t size) {
    const std::uint32_t capacity = Capacity(cell);
    if (capacity >= size) return cell;
    const Cell moved = Allocate(size);
    std::memcpy(bytes_.data() + kBase + moved + 4, bytes_.data() + kBase + cell + 4, capacity);
    Free(cell);
    return moved;
}

std::vector<Range> Cells::DirtyBins() const {
    std::vector<Range> ranges;
    for (const std::uint32_t index : dirty_) {
        ranges.push_back(Range{bins_[index].offset, bins_[index].size});
    }
    return ranges;
}

void Cells::ClearDirty() {
    dirty_.clear();
}

}  // namespace platform::hive
