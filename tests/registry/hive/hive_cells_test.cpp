// The cells of a hive in memory: checked access, the allocator and the dirty bins.
#include "registry/hive/hive_cells.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "registry/hive/hive_format.h"

namespace {

using namespace platform::hive;
using Bytes = std::vector<std::uint8_t>;

Bytes Empty() {
    const std::string hive = MakeEmptyHive("ROOT", 5);
    return Bytes(hive.begin(), hive.end());
}

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    std::memcpy(&bytes[at], &value, 4);
}

TEST(HiveCells, FreedCellsAreReusedAndMergedBeforeTheHiveGrows) {
    Cells cells;
    ASSERT_EQ(cells.Load(Empty()), "");
    const std::uint32_t size = cells.bins_size();
    ASSERT_EQ(cells.free_cells(), 1u);
    const std::uint64_t room = cells.free_bytes();

    // Cells come from the free one, each taking what it needs rounded to 8 bytes.
    std::vector<Cell> taken;
    for (int i = 0; i < 20; ++i) taken.push_back(cells.Allocate(92));
    EXPECT_EQ(cells.bins_size(), size);
    EXPECT_EQ(cells.free_bytes(), room - 20 * 96);
    for (const Cell cell : taken) EXPECT_EQ(cells.Capacity(cell), 92u);

    // Freed cells are merged with free neighbours: every other one freed stays apart, then
    // the ones between join them into one.
    for (std::size_t i = 0; i < taken.size(); i += 2) cells.Free(taken[i]);
    EXPECT_EQ(cells.free_cells(), 11u);
    for (std::size_t i = 1; i + 1 < taken.size(); i += 2) cells.Free(taken[i]);
    EXPECT_EQ(cells.free_cells(), 2u);  // the run of 19, and the last one with the rest
    cells.Free(taken.back());
    EXPECT_EQ(cells.free_cells(), 1u);
    EXPECT_EQ(cells.free_bytes(), room);

    // The smallest free cell that fits is taken, and what a cell needs beyond every free one
    // is a new bin (only then does the hive grow), its rest free.
    const Cell small = cells.Allocate(8);
    const Cell big = cells.Allocate(5000);
    EXPECT_EQ(cells.bins_size(), size + 0x2000);
    EXPECT_GE(big, size);
    const Cell fits = cells.Allocate(100);
    EXPECT_GT(fits, big);  // the new bin's rest: smaller than the first bin's
    EXPECT_EQ(cells.bins_size(), size + 0x2000);
    cells.Free(small);
    cells.Free(fits);
    cells.Free(big);
    EXPECT_EQ(cells.free_cells(), 2u);  // one a bin: cells never span bins
    const Cell again = cells.Allocate(5000);
    EXPECT_EQ(again, big);
    EXPECT_EQ(cells.bins_size(), size + 0x2000);
    // A cell moved by Reallocate keeps its data.
    const Cell grown = cells.Allocate(4);
    cells.Put32(grown, 0, 0xDEADBEEF);
    EXPECT_EQ(cells.Reallocate(grown, 4), grown);
    const Cell moved = cells.Reallocate(grown, 200);
    EXPECT_NE(moved, grown);
    EXPECT_EQ(cells.U32(moved, 0), 0xDEADBEEFu);
    EXPECT_FALSE(cells.IsAllocated(grown));
}

TEST(HiveCells, EveryChangeMarksItsWholeBinDirty) {
    Cells cells;
    ASSERT_EQ(cells.Load(Empty()), "");
    EXPECT_TRUE(cells.DirtyBins().empty());
    const Cell cell = cells.Allocate(16);
    EXPECT_EQ(cells.DirtyBins(), (std::vector<Range>{{0, 0x1000}}));
    cells.ClearDirty();
    EXPECT_TRUE(cells.DirtyBins().empty());
    // Reading marks nothing; a write of one byte marks its bin, whole.
    EXPECT_EQ(cells.U32(cell, 12), 0u);
    EXPECT_TRUE(cells.DirtyBins().empty());
    cells.Put16(cell, 2, 7);
    EXPECT_EQ(cells.DirtyBins(), (std::vector<Range>{{0, 0x1000}}));
    cells.ClearDirty();
    const Cell big = cells.Allocate(10000);
    EXPECT_EQ(cells.DirtyBins(), (std::vector<Range>{{0x1000, 0x3000}}));
    // The header says how long the bins are, its checksum by Windows' rule.
    const std::uint8_t* base = cells.bytes().data();
    std::uint32_t length = 0;
    std::memcpy(&length, base + 0x28, 4);
    EXPECT_EQ(length, 0x4000u);
    std::uint32_t checksum = 0;
    std::memcpy(&checksum, base + 0x1FC, 4);
    EXPECT_EQ(checksum, HeaderChecksum(base));
    EXPECT_EQ(cells.bytes().size(), 0x1000u + 0x4000u);
    cells.ClearDirty();
    cells.Free(big);
    EXPECT_EQ(cells.DirtyBins(), (std::vector<Range>{{0x1000, 0x3000}}));
}

TEST(HiveCells, ReferencesToNoCellInUseAreErrors) {
    Cells cells;
    ASSERT_EQ(cells.Load(Empty()), "");
    const Cell cell = cells.Allocate(44);
    EXPECT_NO_THROW(cells.Data(cell, 44));
    EXPECT_THROW(cells.Data(cell, 45), Error);  // past its end
    EXPECT_THROW(cells.U32(cell, 42), Error);
    EXPECT_THROW(cells.Data(cell + 8, 4), Error);   // inside it
    EXPECT_THROW(cells.Data(cell + 48, 4), Error);  // the free cell after it
    EXPECT_THROW(cells.Data(0x10000, 4), Error);    // past the bins
    EXPECT_THROW(cells.Data(kNil, 4), Error);
    EXPECT_THROW(cells.Put32(cell, 44, 1), Error);
    EXPECT_THROW(cells.Data(cell, 0x100000000ull), Error);
    cells.Free(cell);
    EXPECT_THROW(cells.Data(cell, 4), Error);
    EXPECT_THROW(cells.Free(cell), Error);
    EXPECT_THROW(cells.Allocate(0x7FFFFFF0), Error);  // more than a hive can hold
}

TEST(HiveCells, BinsThatAreNotSoundAreRefused) {
    const auto refused = [](Bytes bytes, const std::string& needle) {
        Cells cells;
        const std::string why = cells.Load(std::move(bytes));
        EXPECT_NE(why.find(needle), std::string::npos) << why;
    };
    Bytes hive = Empty();
    refused(Bytes(hive.begin(), hive.begin() + 0x1800), "a size the file does not have");
    Bytes broken = hive;
    broken[0x1000] = 'X';
    refused(broken, "no hive bin");
    broken = hive;
    Put32(broken, 0x1004, 0x1000);  // the bin says it is elsewhere
    refused(broken, "wrong place or size");
    broken = hive;
    Put32(broken, 0x1008, 0x3000);  // longer than the bins
    refused(broken, "wrong place or size");
    broken = hive;
    Put32(broken, 0x1020, 0xFFFFE000);  // a cell of 8 KB in a bin of 4
    refused(broken, "does not fit its hive bin");
    broken = hive;
    Put32(broken, 0x1020, 0xFFFFFFFC);  // 4 bytes: no cell is
    refused(broken, "does not fit its hive bin");
    broken = hive;
    Put32(broken, 0x1020, 0x80000000);
    refused(broken, "does not fit its hive bin");
    broken = hive;
    Put32(broken, 0x1020, 0);
    refused(broken, "does not fit its hive bin");
}

}  // namespace
