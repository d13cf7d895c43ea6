// The hive files on the disk: each write in place after its log, cut short by a power failure
// after any single call, or failing at any call, judged by the program's next open and by
// Windows XP's own rules (written apart, tests/support/xp_boot_posix.h).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "registry/hive/hive_format.h"
#include "registry/hive/hive_journal.h"
#include "support/file_calls_posix.h"
#include "support/hive_images_posix.h"
#include "support/xp_boot_posix.h"

namespace {

namespace fs = std::filesystem;
namespace hive = platform::hive;
using hive::Journal;
using hive::Written;
using testing_support::AddBin;
using testing_support::FailingCalls;
using testing_support::FileOp;
using testing_support::HiveWithBins;
using testing_support::PowerCut;
using testing_support::RecordingCalls;
using testing_support::Scribble;

const std::vector<std::string> kNames = {"SYSTEM", "SOFTWARE"};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::uint32_t U32(const std::string& s, std::size_t at) {
    return hive::Le32(reinterpret_cast<const std::uint8_t*>(s.data()) + at);
}

std::uint64_t U64(const std::string& s, std::size_t at) {
    return hive::Le64(reinterpret_cast<const std::uint8_t*>(s.data()) + at);
}

std::string Bins(const std::string& image) {
    return image.substr(4096, U32(image, 40));
}

std::span<std::uint8_t> Span(std::string& s) {
    return {reinterpret_cast<std::uint8_t*>(s.data()), s.size()};
}

class JournalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/calvenor-journal-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        folder_ = dir_ / "config";
        Fresh();
    }
    void TearDown() override {
        hive::UseFileCalls(nullptr);
        fs::remove_all(dir_);
    }

    std::unique_ptr<Journal> Open(const fs::path& folder, bool writable = true,
                                  std::string* error = nullptr) {
        std::string problem;
        auto journal = Journal::Open(folder.string(), kNames, writable, &problem);
        if (error) *error = problem;
        if (!journal) {
            if (!error) ADD_FAILURE() << problem;
            return journal;
        }
        if (writable) {
            const std::string completed = journal->Complete();
            EXPECT_EQ(completed, "");
            if (!completed.empty()) return nullptr;
        }
        return journal;
    }
    std::unique_ptr<Journal> Open() { return Open(folder_); }
    void Fresh() {
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        WriteFile(folder_ / "SYSTEM", HiveWithBins({4096, 4096, 4096}));
        WriteFile(folder_ / "SOFTWARE", HiveWithBins({8192, 4096}));
    }

    // The scenarios every cut and failure is tried on: what changes in each hive.
    struct Scenario {
        const char* name;
        std::vector<std::pair<std::size_t, std::vector<hive::PageRun>>> changes;
        bool growSoftware = false;
    };
    static std::vector<Scenario> Scenarios() {
        return {
            {"one bin of SYSTEM", {{0, {{4096 + 512, 512}}}}},
            {"two bins of SYSTEM", {{0, {{4096, 512}, {12288 + 1024, 1024}}}}},
            {"SOFTWARE grown by a bin", {{1, {{12288, 4096}}}}, true},
            {"a group of both, SOFTWARE grown", {{0, {{8192, 512}}}, {1, {{12288, 4096}}}}, true},
        };
    }
    // Makes scenario's change in the images of journal: returns them as they are to be (the
    // changes point into them).
    [[nodiscard]] static std::vector<std::string> Change(Journal& journal, const Scenario& scenario,
                                                         std::vector<Journal::Change>* changes,
                                                         int seed) {
        std::vector<std::string> images = {journal.TakeImage(0), journal.TakeImage(1)};
        if (scenario.growSoftware) AddBin(&images[1], 4096);
        for (const auto& [index, runs] : scenario.changes) {
            for (const hive::PageRun& run : runs) {
                // Inside free cells: past each 4096-byte block's first 64 bytes.
                for (std::uint32_t at = run.offset; at < run.offset + run.size; at += 512) {
                    if (at % 4096 == 0) {
                        Scribble(&images[index], at + 64, 448, seed + static_cast<int>(at));
                    } else {
                        Scribble(&images[index], at, 512, seed + static_cast<int>(at));
                    }
                }
            }
        }
        for (const auto& [index, runs] : scenario.changes) {
            changes->push_back({index, Span(images[index]), runs});
        }
        return images;
    }

    // The calls a write of scenario makes, on fresh hives.
    int CallsOf(const Scenario& scenario) {
        Fresh();
        auto journal = Open();
        std::vector<Journal::Change> changes;
        const auto images = Change(*journal, scenario, &changes, 1);
        FailingCalls counting(INT_MAX, false, 0);
        hive::UseFileCalls(&counting);
        std::string reason;
        EXPECT_EQ(journal->Write(changes, &reason), Written::kAll) << reason;
        hive::UseFileCalls(nullptr);
        return counting.calls;
    }

    fs::path dir_, folder_;
    int tolerated_ = 0;
};

TEST_F(JournalTest, AWriteGoesInPlaceAfterItsLogAsXpWritesIt) {
    const fs::path system = folder_ / "SYSTEM";
    ASSERT_EQ(::chmod(system.c_str(), 0640), 0);
    ASSERT_EQ(::chown(system.c_str(), 65534, 65534), 0);
    const bool xattrs = ::setxattr(system.c_str(), "user.calvenor", "kept", 4, 0) == 0;
    struct stat before {};
    ASSERT_EQ(::stat(system.c_str(), &before), 0);

    auto journal = Open();
    ASSERT_TRUE(journal);
    // The missing log was made, with the hive's owner and mode.
    struct stat log {};
    ASSERT_EQ(::lstat((folder_ / "SYSTEM.LOG").c_str(), &log), 0);
    EXPECT_TRUE(S_ISREG(log.st_mode));
    EXPECT_EQ(log.st_mode & 07777, 0640u);
    EXPECT_EQ(log.st_uid, 65534u);

    std::string image = journal->TakeImage(0);
    std::string other = journal->TakeImage(1);
    Scribble(&image, 4096 + 64, 300, 1);
    std::string reason;
    ASSERT_EQ(journal->Write({{0, Span(image), {{4096, 512}}}}, &reason), Written::kAll) << reason;

    // In place: the same file, its owner, mode and attributes kept, holding the image.
    struct stat after {};
    ASSERT_EQ(::stat(system.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, 65534u);
    if (xattrs) {
        char value[8] = {};
        EXPECT_EQ(::getxattr(system.c_str(), "user.calvenor", value, sizeof value), 4);
        EXPECT_STREQ(value, "kept");
    }
    const std::string file = ReadFile(system);
    EXPECT_EQ(file, image);
    // The header as Windows finishes a write: both numbers raised, the time of the write
    // (also in the first bin's header), Windows' checksum.
    EXPECT_EQ(U32(file, 4), 2u);
    EXPECT_EQ(U32(file, 8), 2u);
    const std::uint64_t time = U64(file, 12);
    EXPECT_GT(time, hive::FileTime(1600000000LL * 1000000000));  // after 2020
    EXPECT_EQ(U64(file, 4096 + 20), time);
    EXPECT_EQ(U32(file, 508), testing_support::XpChecksum(file));
    // The log: the write's header, bins 0 and 1 dirty (16 KB of bins: 32 bits), their pages.
    const std::string logBytes = ReadFile(folder_ / "SYSTEM.LOG");
    ASSERT_EQ(logBytes.size(), 1024u + 8192);
    EXPECT_EQ(U32(logBytes, 4), 2u);
    EXPECT_EQ(U32(logBytes, 8), 2u);
    EXPECT_EQ(U64(logBytes, 12), time);
    EXPECT_EQ(U32(logBytes, 28), 1u);
    EXPECT_EQ(logBytes.substr(512, 8), std::string("DIRT\xFF\xFF\0\0", 8));
    EXPECT_EQ(logBytes.substr(1024), file.substr(4096, 8192));
    // SOFTWARE untouched, and its log made.
    EXPECT_EQ(ReadFile(folder_ / "SOFTWARE"), other);
    EXPECT_TRUE(fs::exists(folder_ / "SOFTWARE.LOG"));

    // A second write: numbers raised again, the log now of bins 0 and 3.
    Scribble(&image, 12288 + 64, 100, 2);
    ASSERT_EQ(journal->Write({{0, Span(image), {{12288, 512}}}}, &reason), Written::kAll) << reason;
    EXPECT_EQ(ReadFile(system), image);
    EXPECT_EQ(U32(image, 4), 3u);
    EXPECT_GT(U64(image, 12), time);
    const std::string second = ReadFile(folder_ / "SYSTEM.LOG");
    EXPECT_EQ(second.substr(516, 4), std::string("\xFF\0\0\xFF", 4));
}

TEST_F(JournalTest, APowerCutAfterAnyCallLeavesEachHiveBeforeOrAfter) {
    const fs::path snapshot = dir_ / "snapshot";
    const fs::path cut = dir_ / "cut";
    int windowsAlone = 0;
    for (const Scenario& scenario : Scenarios()) {
        SCOPED_TRACE(scenario.name);
        Fresh();
        auto journal = Open();
        ASSERT_TRUE(journal);
        fs::remove_all(snapshot);
        fs::copy(folder_, snapshot);
        const std::string before[2] = {Bins(ReadFile(folder_ / "SYSTEM")),
                                       Bins(ReadFile(folder_ / "SOFTWARE"))};
        std::vector<Journal::Change> changes;
        std::vector<std::string> images = Change(*journal, scenario, &changes, 7);
        RecordingCalls recorder;
        hive::UseFileCalls(&recorder);
        std::string reason;
        ASSERT_EQ(journal->Write(changes, &reason), Written::kAll) << reason;
        hive::UseFileCalls(nullptr);
        journal.reset();
        const std::string after[2] = {Bins(images[0]), Bins(images[1])};
        const bool group = changes.size() > 1;

        for (const PowerCut& c : testing_support::PowerCuts(recorder.ops)) {
            SCOPED_TRACE("after " + std::to_string(c.calls) + " of " +
                         std::to_string(recorder.ops.size()) + " calls, kind " +
                         std::to_string(c.kind) + " " + std::to_string(c.lost));
            fs::remove_all(cut);
            fs::copy(snapshot, cut);
            ASSERT_EQ(testing_support::Replay(recorder.ops, c, folder_.string(), cut.string()), "");
            const bool record = fs::exists(cut / hive::kGroupRecord);
            testing_support::XpLoad xp[2];
            for (int i = 0; i < 2; ++i) {
                xp[i] = testing_support::XpLoadsHive(ReadFile(cut / kNames[i]),
                                                     ReadFile(cut / (kNames[i] + ".LOG")));
            }
            std::string error;
            auto reopened = Open(cut, true, &error);
            ASSERT_TRUE(reopened) << error;
            reopened.reset();
            std::string found[2];
            for (int i = 0; i < 2; ++i) {
                const std::string file = ReadFile(cut / kNames[i]);
                EXPECT_EQ(U32(file, 4), U32(file, 8)) << kNames[i];
                found[i] = Bins(file);
                EXPECT_TRUE(found[i] == before[i] || found[i] == after[i]) << kNames[i];
                // Windows reads each hive as before or after; where it differs from this
                // program, it is a group's hive that Windows alone cannot complete: the
                // group's record is there and that hive was not yet reached.
                ASSERT_TRUE(xp[i].loaded) << kNames[i] << ": " << xp[i].why;
                EXPECT_TRUE(xp[i].bins == before[i] || xp[i].bins == after[i]) << kNames[i];
                if (xp[i].bins != found[i]) {
                    EXPECT_TRUE(group && record && xp[i].bins == before[i]) << kNames[i];
                    ++windowsAlone;
                }
            }
            if (group) {
                EXPECT_EQ(found[0] == after[0], found[1] == after[1]) << "half done";
            }
            EXPECT_FALSE(fs::exists(cut / hive::kGroupRecord));
        }
    }
    // The window between a group's two headers was reached, and this program closed it.
    EXPECT_GT(windowsAlone, 0);
}

TEST_F(JournalTest, AFailedCallLeavesEveryHiveAsItWas) {
    for (const Scenario& scenario : Scenarios()) {
        SCOPED_TRACE(scenario.name);
        const int calls = CallsOf(scenario);
        for (int failAt = 1; failAt <= calls; ++failAt) {
            SCOPED_TRACE("call " + std::to_string(failAt));
            Fresh();
            auto journal = Open();
            ASSERT_TRUE(journal);
            const std::string before[2] = {Bins(ReadFile(folder_ / "SYSTEM")),
                                           Bins(ReadFile(folder_ / "SOFTWARE"))};
            std::vector<Journal::Change> changes;
            std::vector<std::string> images = Change(*journal, scenario, &changes, 1);
            const int error = failAt % 2 ? ENOSPC : EIO;
            FailingCalls failing(failAt, false, error);
            hive::UseFileCalls(&failing);
            std::string reason;
            const Written written = journal->Write(changes, &reason);
            hive::UseFileCalls(nullptr);
            if (written == Written::kAll) {
                // Only a call whose failure harms nothing: removing a spent group record.
                EXPECT_EQ(Bins(ReadFile(folder_ / "SYSTEM")), Bins(images[0]));
                EXPECT_EQ(Bins(ReadFile(folder_ / "SOFTWARE")), Bins(images[1]));
                ++tolerated_;
                continue;
            }
            ASSERT_EQ(written, Written::kNone) << reason;
            EXPECT_NE(reason.find(std::strerror(error)), std::string::npos) << reason;
            EXPECT_NE(reason.find(folder_.string()), std::string::npos) << reason;
            // As it was, to the program now and after another open, and to Windows.
            for (std::size_t i = 0; i < 2; ++i) {
                std::string again;
                const std::string image = journal->ReadImage(i, &again);
                EXPECT_EQ(Bins(image), before[i]) << kNames[i] << again;
            }
            journal.reset();
            ASSERT_TRUE(Open());
            for (int i = 0; i < 2; ++i) {
                EXPECT_EQ(Bins(ReadFile(folder_ / kNames[i])), before[i]) << kNames[i];
                const auto xp = testing_support::XpLoadsHive(
                    ReadFile(folder_ / kNames[i]), ReadFile(folder_ / (kNames[i] + ".LOG")));
                EXPECT_TRUE(xp.loaded && xp.bins == before[i]) << kNames[i] << ": " << xp.why;
            }
            EXPECT_FALSE(fs::exists(folder_ / hive::kGroupRecord));
        }
    }
    // Only the group's removal of its spent record (before and after) and the sync after it.
    EXPECT_EQ(tolerated_, 3);
}

// A call that fails, then every call after it (the disk gone): the write is told to be in
// doubt, and the next open finds it all done or not at all.
TEST_F(JournalTest, ADiskThatStopsWritingLeavesTheNextOpenAllOrNone) {
    for (const Scenario& scenario : Scenarios()) {
        SCOPED_TRACE(scenario.name);
        bool doubted = false;
        const int calls = CallsOf(scenario);
        for (int failAt = 1; failAt <= calls; ++failAt) {
            SCOPED_TRACE("call " + std::to_string(failAt));
            Fresh();
            auto journal = Open();
            ASSERT_TRUE(journal);
            const std::string before[2] = {Bins(ReadFile(folder_ / "SYSTEM")),
                                           Bins(ReadFile(folder_ / "SOFTWARE"))};
            std::vector<Journal::Change> changes;
            std::vector<std::string> images = Change(*journal, scenario, &changes, 1);
            FailingCalls failing(failAt, true, EIO);
            hive::UseFileCalls(&failing);
            std::string reason;
            const Written written = journal->Write(changes, &reason);
            hive::UseFileCalls(nullptr);
            if (written == Written::kDoubt) {
                doubted = true;
                EXPECT_NE(reason.find("failed too"), std::string::npos) << reason;
                // No more writes on a journal that could not put its hives back.
                EXPECT_EQ(journal->Write(changes, &reason), Written::kNone);
            }
            journal.reset();
            ASSERT_TRUE(Open());
            const std::string found[2] = {Bins(ReadFile(folder_ / "SYSTEM")),
                                          Bins(ReadFile(folder_ / "SOFTWARE"))};
            bool done[2];
            for (int i = 0; i < 2; ++i) {
                const std::string after = Bins(images[i]);
                done[i] = after != before[i] && found[i] == after;
                EXPECT_TRUE(found[i] == after || found[i] == before[i]) << kNames[i];
            }
            if (changes.size() > 1) {
                EXPECT_EQ(done[0], done[1]) << "a group half done";
            }
            if (written == Written::kNone) {
                EXPECT_FALSE(done[0] || done[1]);
            }
        }
        EXPECT_TRUE(doubted);
    }
}

TEST_F(JournalTest, AHiveNotCompletedIsCompletedFromItsLogOrRefused) {
    // A write cut short after its header was raised: every call up to the bins.
    auto journal = Open();
    ASSERT_TRUE(journal);
    const fs::path snapshot = dir_ / "snapshot";
    fs::copy(folder_, snapshot);
    std::vector<Journal::Change> changes;
    const auto images = Change(*journal, Scenarios()[0], &changes, 9);
    RecordingCalls recorder;
    hive::UseFileCalls(&recorder);
    std::string reason;
    ASSERT_EQ(journal->Write(changes, &reason), Written::kAll);
    hive::UseFileCalls(nullptr);
    journal.reset();
    std::size_t raised = 0;  // the calls up to the raised header's sync
    while (!(recorder.ops[raised].kind == FileOp::kSync &&
             recorder.ops[raised].path == (folder_ / "SYSTEM").string())) {
        ++raised;
    }
    const auto cutShort = [&]() {
        fs::remove_all(folder_);
        fs::copy(snapshot, folder_);
        EXPECT_EQ(testing_support::Replay(recorder.ops, {raised + 1, PowerCut::kAllLanded},
                                          folder_.string(), folder_.string()),
                  "");
    };
    cutShort();
    const std::string dirty = ReadFile(folder_ / "SYSTEM");
    ASSERT_NE(U32(dirty, 4), U32(dirty, 8));

    // Read only: completed in what is read, the files untouched, and said.
    auto reader = Open(folder_, false);
    ASSERT_TRUE(reader);
    EXPECT_EQ(Bins(reader->TakeImage(0)), Bins(images[0]));
    ASSERT_EQ(reader->notices().size(), 1u);
    EXPECT_NE(
        reader->notices()[0].find("completed from its log \"" + (folder_ / "SYSTEM.LOG").string()),
        std::string::npos)
        << reader->notices()[0];
    EXPECT_NE(reader->notices()[0].find("nothing was written"), std::string::npos);
    reader.reset();
    EXPECT_EQ(ReadFile(folder_ / "SYSTEM"), dirty);

    // The log missing, torn, or of another write: refused, nothing written.
    const std::string log = ReadFile(folder_ / "SYSTEM.LOG");
    const auto refused = [&](const std::string& why, const std::string& needle) {
        std::string error;
        EXPECT_FALSE(Open(folder_, true, &error)) << why;
        EXPECT_NE(error.find("was not closed cleanly"), std::string::npos) << why << error;
        EXPECT_NE(error.find(needle), std::string::npos) << why << ": " << error;
        EXPECT_NE(error.find("shut it down normally"), std::string::npos) << why << error;
        EXPECT_EQ(ReadFile(folder_ / "SYSTEM"), dirty) << why;
    };
    fs::remove(folder_ / "SYSTEM.LOG");
    refused("no log", "there is no log beside it");
    WriteFile(folder_ / "SYSTEM.LOG", log.substr(0, log.size() - 512));
    refused("torn", "shorter than the pages it names");
    WriteFile(folder_ / "SYSTEM.LOG", ReadFile(snapshot / "SOFTWARE.LOG"));
    refused("empty log of another hive", "shorter than two sectors");
    std::string older = log;
    hive::PutLe64(reinterpret_cast<std::uint8_t*>(older.data()) + 12, U64(log, 12) - 1);
    hive::SetHeaderChecksum(reinterpret_cast<std::uint8_t*>(older.data()));
    WriteFile(folder_ / "SYSTEM.LOG", older);
    refused("older", "another write");

    // Its own log, in another letter case: completed, said, and the hive done on the disk.
    fs::remove(folder_ / "SYSTEM.LOG");
    WriteFile(folder_ / "system.log", log);
    std::string error;
    auto writer = Journal::Open(folder_.string(), kNames, true, &error);
    ASSERT_TRUE(writer) << error;
    // Taken before Complete writes, as the registry takes it.
    EXPECT_EQ(Bins(writer->TakeImage(0)), Bins(images[0]));
    EXPECT_EQ(writer->Complete(), "");
    EXPECT_EQ(writer->log_path(0), (folder_ / "system.log").string());
    ASSERT_EQ(writer->notices().size(), 1u);
    EXPECT_EQ(writer->notices()[0].find("nothing was written"), std::string::npos);
    const std::string done = ReadFile(folder_ / "SYSTEM");
    EXPECT_EQ(U32(done, 4), U32(done, 8));
    EXPECT_EQ(Bins(done), Bins(images[0]));
    EXPECT_FALSE(fs::exists(folder_ / "SYSTEM.LOG"));
}

TEST_F(JournalTest, AGroupRecordThatWindowsWentPastIsLeftAsWindowsLeftIt) {
    auto journal = Open();
    ASSERT_TRUE(journal);
    const fs::path snapshot = dir_ / "snapshot";
    fs::copy(folder_, snapshot);
    const std::string beforeSoftware = Bins(ReadFile(folder_ / "SOFTWARE"));
    std::vector<Journal::Change> changes;
    const auto images = Change(*journal, Scenarios()[3], &changes, 5);
    RecordingCalls recorder;
    hive::UseFileCalls(&recorder);
    std::string reason;
    ASSERT_EQ(journal->Write(changes, &reason), Written::kAll);
    hive::UseFileCalls(nullptr);
    journal.reset();
    // Cut once the record is durable, no hive raised yet.
    std::size_t calls = 0;
    while (!(recorder.ops[calls].kind == FileOp::kSync &&
             recorder.ops[calls].path == folder_.string())) {
        ++calls;
    }
    fs::remove_all(folder_);
    fs::copy(snapshot, folder_);
    ASSERT_EQ(testing_support::Replay(recorder.ops, {calls + 1, PowerCut::kAllLanded},
                                      folder_.string(), folder_.string()),
              "");
    ASSERT_TRUE(fs::exists(folder_ / hive::kGroupRecord));
    // Windows then wrote SYSTEM (its numbers moved on, a log of its own).
    std::string system = ReadFile(folder_ / "SYSTEM");
    hive::PutLe32(reinterpret_cast<std::uint8_t*>(system.data()) + 4, 40);
    hive::PutLe32(reinterpret_cast<std::uint8_t*>(system.data()) + 8, 40);
    hive::SetHeaderChecksum(reinterpret_cast<std::uint8_t*>(system.data()));
    WriteFile(folder_ / "SYSTEM", system);
    WriteFile(folder_ / "SYSTEM.LOG", std::string(1024, '\0'));
    auto reopened = Open();
    ASSERT_TRUE(reopened);
    EXPECT_EQ(Bins(reopened->TakeImage(0)), Bins(system));
    EXPECT_EQ(Bins(reopened->TakeImage(1)), beforeSoftware);
    EXPECT_FALSE(fs::exists(folder_ / hive::kGroupRecord));
}

TEST_F(JournalTest, LinksAndOutsideChangesAreRefused) {
    // A hive or log that is a symbolic link: read through, never written through.
    fs::rename(folder_ / "SYSTEM", dir_ / "elsewhere");
    fs::create_symlink(dir_ / "elsewhere", folder_ / "SYSTEM");
    std::string error;
    EXPECT_FALSE(Open(folder_, true, &error));
    EXPECT_NE(error.find("\"" + (folder_ / "SYSTEM").string() + "\" is a symbolic link"),
              std::string::npos)
        << error;
    EXPECT_TRUE(Open(folder_, false));
    fs::remove(folder_ / "SYSTEM");
    fs::rename(dir_ / "elsewhere", folder_ / "SYSTEM");
    fs::create_symlink(dir_ / "nowhere", folder_ / "SOFTWARE.LOG");
    EXPECT_FALSE(Open(folder_, true, &error));
    EXPECT_NE(error.find("SOFTWARE.LOG\" is a symbolic link"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(dir_ / "nowhere"));
    fs::remove(folder_ / "SOFTWARE.LOG");

    // A hive changed by another program after it was read is not written over.
    auto journal = Open();
    ASSERT_TRUE(journal);
    std::string image = journal->TakeImage(0);
    {
        std::ofstream out(folder_ / "SYSTEM", std::ios::binary | std::ios::app);
        out << std::string(4096, '\0');
    }
    const std::string changed = ReadFile(folder_ / "SYSTEM");
    Scribble(&image, 4096 + 64, 10, 1);
    std::string reason;
    EXPECT_EQ(journal->Write({{0, Span(image), {{4096, 512}}}}, &reason), Written::kNone);
    EXPECT_NE(reason.find("changed or moved by another program"), std::string::npos) << reason;
    EXPECT_EQ(ReadFile(folder_ / "SYSTEM"), changed);
}

}  // namespace
