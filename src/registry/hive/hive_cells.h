// A hive file held in memory as its bytes (the 4096-byte base block, then the hive bins) and
// worked on as Windows' configuration manager works on it: cells read and written only through
// checked accessors (a hive is outside data: a reference that leads outside the bins, into
// the middle of a cell or into a free one is an Error, never a stray read), cells allocated
// from the free ones (best fit, the rest split off, neighbours merged when freed; a new bin is
// appended only when no free cell is large enough), and every changed byte marking its whole
// hive bin dirty, so that the bins to write are known without comparing anything.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace platform::hive {

// The offset of a cell (its size field) from the start of the hive bins data, as the format
// references cells.
using Cell = std::uint32_t;
constexpr Cell kNil = 0xFFFFFFFF;

constexpr std::uint32_t kBinHeaderSize = 0x20;
constexpr std::uint32_t kBinUnit = 0x1000;

// What the engine throws when the hive is not what it must be, or cannot take a change.
class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A cell's place as a hex editor shows it: "0x2020", the offset in the file.
std::string FileOffset(Cell cell);

// How many bytes a hive of this size is best read into (reserved): itself and room for new bins.
constexpr std::size_t SpareRoom(std::size_t size) {
    return size + size / 16 + 16 * 0x1000;
}

// A byte range of the hive bins data (offsets from its start).
struct Range {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
    bool operator==(const Range&) const = default;
};

class Cells {
  public:
    // Takes a file's bytes whose base block has been checked (ReadHeader) and reads the bins:
    // "" or what is wrong with them (a bin out of place, a cell that overruns its bin...).
    std::string Load(std::vector<std::uint8_t> file);

    // The base block and the bins, as the file is to hold them.
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    // The base block (4096 bytes), for its fields the writer of the file sets.
    std::uint8_t* base_block() { return bytes_.data(); }
    std::uint32_t bins_size() const { return binsSize_; }

    // The data of an allocated cell (after its size field) and how many bytes it holds.
    // Error unless cell is the start of an allocated cell with at least need bytes of data.
    const std::uint8_t* Data(Cell cell, std::uint64_t need) const;
    std::uint32_t Capacity(Cell cell) const;
    bool IsAllocated(Cell cell) const;

    std::uint16_t U16(Cell cell, std::uint32_t at) const;
    std::uint32_t U32(Cell cell, std::uint32_t at) const;
    std::uint64_t U64(Cell cell, std::uint32_t at) const;
    // Writes into an allocated cell's data, marking its bin dirty.
    void Put16(Cell cell, std::uint32_t at, std::uint16_t value);
    void Put32(Cell cell, std::uint32_t at, std::uint32_t value);
    void Put64(Cell cell, std::uint32_t at, std::uint64_t value);
    void PutBytes(Cell cell, std::uint32_t at, const std::uint8_t* data, std::uint32_t size);
    // Moves bytes within one cell's data (memmove), marking its bin dirty.
    void Move(Cell cell, std::uint32_t to, std::uint32_t from, std::uint32_t size);

    // A zeroed cell with room for size bytes of data: the smallest free cell that fits (its
    // rest split off as a free cell), or a new bin appended. Error when the hive would pass
    // the format's 2 GB.
    Cell Allocate(std::uint32_t size);
    // Frees an allocated cell, merged with the free cells beside it in its bin.
    void Free(Cell cell);
    // A cell with room for size bytes holding the old one's data: the same cell when it fits,
    // else a new one (the old freed).
    Cell Reallocate(Cell cell, std::uint32_t size);

    // The dirty bins, whole, in file order; ClearDirty after they have been written.
    std::vector<Range> DirtyBins() const;
    void ClearDirty();
    // Every free cell's size, for tests and figures.
    std::uint64_t free_bytes() const { return freeBytes_; }
    std::size_t free_cells() const { return freeByOffset_.size(); }

  private:
    struct Bin {
        std::uint32_t offset;
        std::uint32_t size;
    };
    std::size_t BinOf(std::uint32_t offset) const;
    std::int32_t SizeField(std::uint32_t offset) const;
    void SetSizeField(std::uint32_t offset, std::int32_t size);
    std::uint8_t* Writable(Cell cell, std::uint32_t at, std::uint32_t size);
    void MarkDirty(std::uint32_t offset);
    void AddFree(Cell cell, std::uint32_t size);
    void RemoveFree(Cell cell);
    void SetStart(Cell cell, bool allocated);
    Cell AppendBin(std::uint32_t cellSize);

    std::vector<std::uint8_t> bytes_;  // base block + bins
    std::uint32_t binsSize_ = 0;
    std::vector<Bin> bins_;
    std::set<std::uint32_t> dirty_;  // indexes of the dirty bins
    // One bit per 8 bytes of the bins: set where an allocated cell starts.
    std::vector<bool> allocatedStart_;
    std::map<Cell, std::uint32_t> freeByOffset_;
    std::set<std::pair<std::uint32_t, Cell>> freeBySize_;
    std::uint64_t freeBytes_ = 0;
};

}  // namespace platform::hive
