// XP's transaction log of a hive, written and read as bytes: each log is taken apart here by the
// published layout, not by the program's reader, and the program's reader is shown the logs
// Windows would refuse.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "registry/hive/hive_format.h"
#include "registry/hive/hive_log.h"
#include "support/hive_images_posix.h"
#include "support/xp_boot_posix.h"

namespace {

namespace hive = platform::hive;
using testing_support::AddBin;
using testing_support::HiveWithBins;
using testing_support::Scribble;

std::uint32_t U32(const std::string& s, std::size_t at) {
    return hive::Le32(reinterpret_cast<const std::uint8_t*>(s.data()) + at);
}

void Put32(std::string* s, std::size_t at, std::uint32_t v) {
    hive::PutLe32(reinterpret_cast<std::uint8_t*>(s->data()) + at, v);
}

const std::uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// A hive's header as a write leaves it: both sequence numbers at sequence, time set.
std::string Finished(std::string image, std::uint32_t sequence, std::uint64_t time) {
    auto* base = reinterpret_cast<std::uint8_t*>(image.data());
    hive::PutLe32(base + hive::field::kSequence1, sequence);
    hive::PutLe32(base + hive::field::kSequence2, sequence);
    hive::PutLe64(base + hive::field::kTimeStamp, time);
    hive::SetHeaderChecksum(base);
    return image;
}

// The log of a write, taken apart by the layout: sector 0 the header, sector 1 the vector,
// then the pages of every set bit in order.
TEST(HiveLog, IsXpsOldFormatByteForByte) {
    std::string image = HiveWithBins({4096, 8192, 4096});  // bins at 0, 4096, 8192, 16384
    Scribble(&image, 8192 + 64, 900, 1);
    Scribble(&image, 16384 + 40, 100, 2);
    image = Finished(image, 43, 0x01D0A1B2C3D4E5F6ULL);
    const std::vector<hive::PageRun> runs = {{0, 4096}, {8192, 12288}};
    const std::string log = hive::MakeLog(Bytes(image), Bytes(image) + 4096, U32(image, 40), runs);

    // Sector 0: the hive's header, type 1, both numbers the write's, checksum by Windows' rule.
    ASSERT_GE(log.size(), 1024u);
    EXPECT_EQ(log.substr(0, 4), "regf");
    EXPECT_EQ(U32(log, 4), 43u);
    EXPECT_EQ(U32(log, 8), 43u);
    EXPECT_EQ(log.substr(12, 8), image.substr(12, 8));
    EXPECT_EQ(U32(log, 28), 1u);
    EXPECT_EQ(log.substr(32, 508 - 32), image.substr(32, 508 - 32));
    EXPECT_EQ(log.substr(20, 8), image.substr(20, 8));
    EXPECT_EQ(U32(log, 508), testing_support::XpChecksum(log));
    // Sector 1: "DIRT", 20480 / 512 = 40 bits, 5 bytes, pages 0-7 and 16-39; zeros to 1024.
    EXPECT_EQ(log.substr(512, 4), "DIRT");
    EXPECT_EQ(log.substr(516, 5), std::string("\xFF\x00\xFF\xFF\xFF", 5));
    EXPECT_EQ(log.substr(521, 1024 - 521), std::string(1024 - 521, '\0'));
    // The pages, from sector 2: bin 0 whole, then bins 2 and 3 whole; nothing after.
    ASSERT_EQ(log.size(), 1024u + 4096 + 12288);
    EXPECT_EQ(log.substr(1024, 4096), image.substr(4096, 4096));
    EXPECT_EQ(log.substr(1024 + 4096), image.substr(4096 + 8192, 12288));
}

TEST(HiveLog, VectorOfABigHiveTakesTheSectorsItNeeds) {
    // 4 MB of bins: 8192 bits, 1024 bytes of bitmap: "DIRT" and bitmap take three sectors.
    std::string image = HiveWithBins({});
    for (int i = 0; i < 1023; ++i) AddBin(&image, 4096);
    image = Finished(image, 2, 5);
    const std::uint32_t binsSize = U32(image, 40);
    ASSERT_EQ(binsSize, 4u << 20);
    const std::string log =
        hive::MakeLog(Bytes(image), Bytes(image) + 4096, binsSize, {{binsSize - 4096, 4096}});
    ASSERT_EQ(log.size(), 512u + 1536 + 4096);
    EXPECT_EQ(static_cast<unsigned char>(log[516 + 1023]), 0xFF);
    EXPECT_EQ(log.substr(512 + 1536), image.substr(4096 + binsSize - 4096));
    hive::Log parsed;
    ASSERT_EQ(hive::ReadLog(log, &parsed), "");
    EXPECT_EQ(parsed.pages.front(), binsSize / 512 - 8);
    EXPECT_EQ(parsed.pages.size(), 8u);
}

class HiveLogReading : public ::testing::Test {
  protected:
    void SetUp() override {
        before_ = Finished(HiveWithBins({4096, 4096}), 7, 1000);
        after_ = before_;
        Scribble(&after_, 4096 + 100, 300, 3);
        after_ = Finished(after_, 8, 2000);
        log_ = hive::MakeLog(Bytes(after_), Bytes(after_) + 4096, U32(after_, 40),
                             {{0, 4096}, {4096, 4096}});
        // The hive as a write cut short leaves it: header raised, bins not yet written.
        dirty_ = before_;
        dirty_.replace(0, 512, after_, 0, 512);
        Put32(&dirty_, 8, 7);
        hive::SetHeaderChecksum(reinterpret_cast<std::uint8_t*>(dirty_.data()));
    }
    // Why the program would not complete dirty_ from log ("" when it would).
    std::string Refusal(const std::string& log) {
        hive::Log parsed;
        std::string why = hive::ReadLog(log, &parsed);
        hive::Header header;
        EXPECT_EQ(hive::ReadHeader(dirty_, dirty_.size(), &header), "");
        if (why.empty()) why = hive::LogFinishes(parsed, header);
        std::string image = dirty_;
        if (why.empty()) why = hive::ApplyLog(parsed, &image);
        // What the program completes, Windows (by the rules written apart) completes the same
        // way; what Windows refuses, the program refuses. It may refuse more.
        const testing_support::XpLoad xp = testing_support::XpLoadsHive(dirty_, log);
        if (why.empty()) {
            EXPECT_EQ(image.substr(4096), after_.substr(4096));
            EXPECT_TRUE(xp.loaded && xp.fromLog && xp.bins == image.substr(4096)) << xp.why;
        }
        if (!xp.loaded) {
            EXPECT_NE(why, "");
        }
        return why;
    }
    std::string before_, after_, dirty_, log_;
};

TEST_F(HiveLogReading, AWholeLogOfTheWriteCompletesIt) {
    EXPECT_EQ(Refusal(log_), "");
    hive::Log parsed;
    ASSERT_EQ(hive::ReadLog(log_, &parsed), "");
    const auto runs = hive::RunsOf(parsed);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].offset, 0u);
    EXPECT_EQ(runs[0].size, 8192u);
    // As Windows XP numbers it (the log one below the hive) it completes it too.
    std::string xp = log_;
    Put32(&xp, 4, 7);
    Put32(&xp, 8, 7);
    Put32(&xp, 508, testing_support::XpChecksum(xp));
    EXPECT_EQ(Refusal(xp), "");
}

TEST_F(HiveLogReading, ALogTornOrOfAnotherWriteIsNeverApplied) {
    // Torn: cut anywhere, it lacks pages; or the second number was never raised.
    for (const std::size_t cut : {0u, 511u, 1024u, 1025u, 5000u, 9215u}) {
        EXPECT_NE(Refusal(log_.substr(0, cut)), "") << cut;
    }
    std::string torn = log_;
    Put32(&torn, 8, 7);
    Put32(&torn, 508, testing_support::XpChecksum(torn));
    EXPECT_NE(Refusal(torn).find("not written to its end"), std::string::npos);
    // Damaged: checksum, type, vector.
    torn = log_;
    torn[100] ^= 1;
    EXPECT_NE(Refusal(torn).find("checksum"), std::string::npos);
    torn = log_;
    Put32(&torn, 28, 0);
    Put32(&torn, 508, testing_support::XpChecksum(torn));
    EXPECT_NE(Refusal(torn).find("file type 0"), std::string::npos);
    torn = log_;
    torn[512] = 'd';
    EXPECT_NE(Refusal(torn).find("DIRT"), std::string::npos);
    torn = log_;
    std::memset(torn.data() + 516, 0, 2);
    EXPECT_NE(Refusal(torn).find("no page"), std::string::npos);
    // An older log: another time.
    std::string older = log_;
    hive::PutLe64(reinterpret_cast<std::uint8_t*>(older.data()) + 12, 1000);
    Put32(&older, 508, testing_support::XpChecksum(older));
    EXPECT_NE(Refusal(older).find("another write"), std::string::npos);
    // Another hive's log at the same time: another size.
    std::string other = Finished(HiveWithBins({4096, 4096, 4096}), 8, 2000);
    EXPECT_NE(Refusal(hive::MakeLog(Bytes(other), Bytes(other) + 4096, U32(other, 40), {{0, 4096}}))
                  .find("another hive"),
              std::string::npos);
    // Pages that would break a bin.
    std::string breaking = after_;
    breaking[4096 + 4096] = 'X';
    const std::string bad =
        hive::MakeLog(Bytes(breaking), Bytes(breaking) + 4096, U32(breaking, 40), {{4096, 4096}});
    EXPECT_NE(Refusal(bad).find("hive bin at 4096"), std::string::npos);
}

TEST_F(HiveLogReading, AHiveWhoseWriteWasCompletedTakesNoLog) {
    hive::Log parsed;
    ASSERT_EQ(hive::ReadLog(log_, &parsed), "");
    hive::Header header;
    ASSERT_EQ(hive::ReadHeader(before_, before_.size(), &header), "");
    EXPECT_EQ(hive::LogFinishes(parsed, header), "the hive's last write was completed");
}

}  // namespace
