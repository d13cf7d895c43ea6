// Fault runs against an XP installation's hives (--windows), each a writer (a forked process
// using the registry layer as the windows do) and a checker:
//
//   hive_faults kill ROUNDS    the writer killed (SIGKILL) at a random moment of a storm
//   hive_faults steps ROUNDS   the writer dies before each call of a commit in turn (its logs'
//                              writes and flushes, the group record's, each hive's raised
//                              header, bins and completed header, and theirs)
//   hive_faults control ROUNDS a control run: the writer writes a commit's bins in place
//                              without its log or raised header, as a writer with no journal
//                              would, and dies before the bins the commit adds at the end; the
//                              checker must find the damage in every round (the run fails when
//                              it does not)
//
// After each round both hives are judged twice: by Windows XP's rules for a hive and its log
// (written apart, tests/support/xp_boot_posix.h), which must load each, and by the program's
// open (every check passes, libhivex reads every key), which must hold exactly the acknowledged
// writes, or those and the unit in flight. Where the two differ, it is the group the program's
// record completes. Units are single writes (to either hive) or groups of four made together
// (Reset All's way), across both hives, which land whole or not at all. Options: --dir DIR
// (kept), --seed N.
#include <hivex.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "fault_support.h"
#include "registry/hive/hive_journal.h"
#include "registry/hive/hive_registry.h"
#include "settings/registry.h"
#include "settings/schema.h"
#include "support/xp_boot_posix.h"
#include "support/xp_installation_posix.h"

namespace fs = std::filesystem;
using platform::HiveRegistry;
namespace hive = platform::hive;

namespace {

using faults::Expected;
using faults::InGroup;
using faults::kGroupSize;
using faults::kNamesPerKey;
using faults::NameOf;
using faults::Now;
using faults::StartsGroup;
using faults::UnitEnd;
using faults::WriteAll;

const char* const kSystemKeys[] = {schema::kControlPanel, schema::kCustomization,
                                   schema::kDriverEqualizer};
constexpr int kSystemSlots = 3 * kNamesPerKey;
constexpr int kSoftwareSlots = 20;
constexpr int kSlots = kSystemSlots + kSoftwareSlots;

// Every fifth single write goes to SOFTWARE, and the second write of each group: a group is
// one commit of both hives.
int SlotOf(long seq) {
    if ((!InGroup(seq) && seq % 5 == 1) || (InGroup(seq) && seq % kGroupSize == 1))
        return kSystemSlots + static_cast<int>(seq / 5 % kSoftwareSlots);
    return static_cast<int>((static_cast<unsigned long>(seq) * 2654435761u >> 7) % kSystemSlots);
}
const char* KeyOf(int slot) {
    return slot >= kSystemSlots ? schema::kAU8830Equalizer : kSystemKeys[slot / kNamesPerKey];
}
void Store(settings::Registry& registry, long seq) {
    const int slot = SlotOf(seq);
    faults::StoreSeq(registry, KeyOf(slot), slot, seq);
}

// The call of a commit a writer of the steps mode dies before: call dieCall of its commit
// number dieAt. A commit begins with its first log's write.
int gDieCall = 0;
long gDieAt = 0;
// The control run expects damage: the checker's findings are its success, not news.
bool gQuiet = false;

bool IsLog(int fd) {
    char link[512] = {};
    ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), link, sizeof link - 1);
    const std::string path = link;
    return path.size() > 4 && path.compare(path.size() - 4, 4, ".LOG") == 0;
}

class DyingCalls : public hive::FileCalls {
  public:
    ssize_t Write(int fd, const void* data, std::size_t size, off_t offset) override {
        if (offset == 0 && IsLog(fd) && !inCommit_) {
            inCommit_ = true;
            ++commits_;
            calls_ = 0;
        }
        Step();
        return FileCalls::Write(fd, data, size, offset);
    }
    int Sync(int fd) override { return Step(), FileCalls::Sync(fd); }
    int SyncData(int fd) override { return Step(), FileCalls::SyncData(fd); }
    int Truncate(int fd, off_t size) override { return Step(), FileCalls::Truncate(fd, size); }
    int Allocate(int fd, off_t offset, off_t size) override {
        return Step(), FileCalls::Allocate(fd, offset, size);
    }
    int Create(int folder, const char* name) override {
        return Step(), FileCalls::Create(folder, name);
    }
    int Remove(int folder, const char* name) override {
        return Step(), FileCalls::Remove(folder, name);
    }
    // Called when a unit's commit has returned. A commit with fewer calls than dieCall moves
    // the death on to the next one.
    void EndCommit() {
        if (inCommit_ && commits_ == gDieAt && calls_ < gDieCall) ++gDieAt;
        inCommit_ = false;
    }

  private:
    void Step() {
        if (inCommit_ && commits_ == gDieAt && ++calls_ == gDieCall) ::_exit(9);
    }
    bool inCommit_ = false;
    long commits_ = 0;
    int calls_ = 0;
};

// A writer without a journal in its commit number dieAt: its logs and headers are not written,
// and it dies having written all its bins but the last run, which holds the cells the others
// now point to.
class UnloggedCalls : public hive::FileCalls {
  public:
    ssize_t Write(int fd, const void* data, std::size_t size, off_t offset) override {
        if (IsLog(fd) && offset == 0 && !inCommit_) {
            inCommit_ = true;
            ++commits_;
        }
        if (commits_ != gDieAt) return FileCalls::Write(fd, data, size, offset);
        if (!IsLog(fd) && offset != 0) {
            queued_.push_back({fd, offset, std::string(static_cast<const char*>(data), size)});
        }
        return static_cast<ssize_t>(size);
    }
    // Dies having written what the commit changed inside each hive's old length, not the bins
    // it added: cells there now point into bins the hive does not have.
    int SyncData(int fd) override {
        if (commits_ == gDieAt && !queued_.empty()) {
            for (const Queued& q : queued_) {
                std::uint32_t length = 0;  // the bins' size, as the header on disk has it
                if (::pread(q.fd, &length, sizeof length, 0x28) != sizeof length) ::_exit(14);
                const off_t end = 0x1000 + static_cast<off_t>(length);
                if (q.offset >= end) continue;
                const std::size_t size =
                    std::min(q.data.size(), static_cast<std::size_t>(end - q.offset));
                FileCalls::Write(q.fd, q.data.data(), size, q.offset);
            }
            ::_exit(9);
        }
        return FileCalls::SyncData(fd);
    }
    void EndCommit() { inCommit_ = false; }
    bool NextCommitDies() const { return commits_ + 1 == gDieAt; }

  private:
    struct Queued {
        int fd;
        off_t offset;
        std::string data;
    };
    bool inCommit_ = false;
    long commits_ = 0;
    std::vector<Queued> queued_;
};

DyingCalls* gDying = nullptr;
UnloggedCalls* gUnlogged = nullptr;

[[noreturn]] void Writer(const std::string& windows, long seq, int ackFd) {
    std::string error;
    auto hives = HiveRegistry::Open(windows, HiveRegistry::Access::ReadWrite, &error);
    if (!hives) {
        std::fprintf(stderr, "writer: %s\n", error.c_str());
        ::_exit(11);
    }
    long failures = 0;
    hives->OnWriteFailure([&](const std::string& reason) {
        std::fprintf(stderr, "writer: %s\n", reason.c_str());
        ++failures;
    });
    settings::Registry registry(*hives);
    for (;; ++seq) {
        if (gUnlogged && gUnlogged->NextCommitDies()) {
            // A value no free cell can hold: the commit adds a bin at the hive's end.
            registry.StoreValue(platform::kHKLM, KeyOf(0), "FaultTear", std::string(8000, 't'),
                                platform::REG_SZ);
        }
        if (StartsGroup(seq)) {
            const long first = seq;
            seq = UnitEnd(seq);
            registry.Together([&] {
                for (long s = first; s <= seq; ++s) Store(registry, s);
            });
        } else {
            Store(registry, seq);
        }
        if (gDying) gDying->EndCommit();
        if (gUnlogged) gUnlogged->EndCommit();
        if (failures) ::_exit(12);
        if (!WriteAll(ackFd, &seq, sizeof seq)) ::_exit(13);
    }
}

// Opens the hives as the program does and compares every slot: exactly the acknowledged
// writes, or those and the unit in flight. Returns 1 if the unit in flight landed, 0 if not,
// -1 for a failure.
std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int Check(const std::string& windows, const std::map<int, long>& acked, long inflight) {
    // What Windows XP would load at boot, before the program's open completes anything.
    const std::string config = windows + "/system32/config/";
    const bool record = fs::exists(config + hive::kGroupRecord);
    testing_support::XpLoad xp[2];
    const char* const kHives[2] = {"SYSTEM", "SOFTWARE"};
    for (int i = 0; i < 2; ++i) {
        xp[i] = testing_support::XpLoadsHive(ReadFile(config + kHives[i]),
                                             ReadFile(config + kHives[i] + ".LOG"));
        if (!xp[i].loaded) {
            if (!gQuiet)
                std::fprintf(stderr, "check: XP would not load %s: %s\n", kHives[i],
                             xp[i].why.c_str());
            return -1;
        }
    }
    std::string error;
    auto hives = HiveRegistry::Open(windows, HiveRegistry::Access::ReadWrite, &error);
    if (!hives) {
        if (!gQuiet) std::fprintf(stderr, "check: %s\n", error.c_str());
        return -1;
    }
    // The program reads what XP reads, but for a group its record completes.
    for (int i = 0; i < 2; ++i) {
        const std::string file = ReadFile(config + kHives[i]);
        const std::uint32_t size =
            hive::Le32(reinterpret_cast<const std::uint8_t*>(file.data()) + hive::field::kBinsSize);
        if (file.substr(hive::kBaseBlockSize, size) != xp[i].bins && !record) {
            if (!gQuiet) {
                std::fprintf(stderr, "check: XP would read %s otherwise than the program\n",
                             kHives[i]);
            }
            return -1;
        }
    }
    // libhivex reads every key of both.
    for (const std::string& path : {hives->system_path(), hives->software_path()}) {
        hive_h* hive = hivex_open(path.c_str(), 0);
        const int visited = hive ? hivex_visit(hive, nullptr, 0, nullptr, 0) : -1;
        if (hive) hivex_close(hive);
        if (visited != 0) {
            if (!gQuiet) {
                std::fprintf(stderr, "check: libhivex cannot read every key of %s\n", path.c_str());
            }
            return -1;
        }
    }
    std::map<int, long> landed = acked;
    for (long seq = inflight; seq <= UnitEnd(inflight); ++seq) landed[SlotOf(seq)] = seq;
    settings::Registry registry(*hives);
    const auto want = [](const std::map<int, long>& writes, int slot) {
        const auto it = writes.find(slot);
        return it == writes.end() ? std::string() : Expected(it->second);
    };
    bool asAcked = true;
    bool asLanded = true;
    for (int slot = 0; slot < kSlots; ++slot) {
        const std::string found =
            registry.FetchValue(platform::kHKLM, KeyOf(slot), NameOf(slot)).str();
        asAcked = asAcked && found == want(acked, slot);
        asLanded = asLanded && found == want(landed, slot);
        if (!gQuiet && found != want(acked, slot) && found != want(landed, slot)) {
            std::fprintf(stderr, "check: slot %d (%s\\%s) holds %.40s\n", slot, KeyOf(slot),
                         NameOf(slot).c_str(), found.c_str());
        }
    }
    if (asAcked) return 0;
    return asLanded ? 1 : -1;
}

int Run(bool steps, bool control, int rounds, const std::string& given, std::uint64_t seed) {
    std::string dir = given;
    if (dir.empty()) {
        char pattern[] = "/tmp/calvenor-hive-faults-XXXXXX";
        if (!::mkdtemp(pattern)) return 2;
        dir = pattern;
    }
    const std::string windows = dir + "/WINDOWS";
    fs::remove_all(windows);
    const std::string made =
        testing_support::MakeXpInstallation(windows, testing_support::SeedFile());
    if (!made.empty()) {
        std::fprintf(stderr, "%s\n", made.c_str());
        return 2;
    }
    std::mt19937_64 random(seed);
    std::map<int, long> acked;
    long next = 0;
    long totalAcked = 0;
    int passed = 0;
    int failed = 0;
    int landed = 0;
    const double started = Now();
    const char* mode = control ? "control" : steps ? "steps" : "kill";
    gQuiet = control;
    int damageFound = 0;
    for (int round = 1; round <= rounds; ++round) {
        const double delay = std::uniform_real_distribution<double>(0, 0.25)(random);
        gDieCall = 1 + (round - 1) % 24;
        gDieAt = std::uniform_int_distribution<long>(1, 12)(random);
        int acks[2];
        if (::pipe(acks) != 0) return 2;
        const pid_t child = ::fork();
        if (child < 0) return 2;
        if (child == 0) {
            ::close(acks[0]);
            if (control) {
                gUnlogged = new UnloggedCalls();
                hive::UseFileCalls(gUnlogged);
            } else if (steps) {
                gDying = new DyingCalls();
                hive::UseFileCalls(gDying);
            }
            Writer(windows, next, acks[1]);
        }
        ::close(acks[1]);
        const double deadline = Now() + (steps ? 60 : delay);
        bool killed = false;
        long lastAck = -1;
        long seq = 0;
        while (true) {
            const double left = deadline - Now();
            if (!killed && left <= 0) {
                ::kill(child, SIGKILL);
                killed = true;
            }
            pollfd p{acks[0], POLLIN, 0};
            const int ready = ::poll(&p, 1, killed ? -1 : static_cast<int>(left * 1000) + 1);
            if (ready < 0 && errno == EINTR) continue;
            if (ready == 0) continue;
            if (::read(acks[0], &seq, sizeof seq) != static_cast<ssize_t>(sizeof seq)) break;
            for (long s = lastAck >= 0 ? lastAck + 1 : next; s <= seq; ++s) {
                acked[SlotOf(s)] = s;
                ++totalAcked;
            }
            lastAck = seq;
        }
        ::close(acks[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        const long inflight = lastAck >= 0 ? lastAck + 1 : next;
        next = UnitEnd(inflight) + 1;
        const bool died =
            WIFSIGNALED(status) || (steps && WIFEXITED(status) && WEXITSTATUS(status) == 9);
        const int result = died ? Check(windows, acked, inflight) : -1;
        if (control) {
            // Each round starts again from a sound installation.
            damageFound += result < 0;
            fs::remove_all(windows);
            testing_support::MakeXpInstallation(windows, testing_support::SeedFile());
            acked.clear();
            next = 0;
            ++passed;
            continue;
        }
        if (!died) {
            std::fprintf(stderr, "round %d: the writer failed (exit %d)\n", round,
                         WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        }
        if (result == 1) {
            for (long s = inflight; s <= UnitEnd(inflight); ++s) acked[SlotOf(s)] = s;
            ++landed;
        }
        if (result < 0) {
            ++failed;
            std::fprintf(stderr, "round %d failed; hives kept in %s\n", round, windows.c_str());
            break;
        }
        ++passed;
    }
    std::printf(
        "%s: %ld acknowledged writes checked over %d rounds, %d in-flight units found "
        "committed, %.0f s\n",
        mode, totalAcked, passed + failed, landed, Now() - started);
    if (control) {
        std::printf("control: the checker found %d torn hives in %d rounds\n", damageFound, rounds);
        if (damageFound == rounds && given.empty()) fs::remove_all(dir);
        return damageFound == rounds ? 0 : 1;
    }
    std::printf("hive %s: %d passed, %d failed\n", mode, passed, failed);
    if (failed == 0 && given.empty()) fs::remove_all(dir);
    return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: hive_faults kill|steps ROUNDS [--dir DIR] [--seed N]\n");
        return 2;
    }
    const std::string mode = argv[1];
    const int rounds = std::atoi(argv[2]);
    std::string dir;
    std::uint64_t seed = std::random_device{}();
    for (int i = 3; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--dir") dir = argv[i + 1];
        if (std::string(argv[i]) == "--seed") seed = std::strtoull(argv[i + 1], nullptr, 10);
    }
    if ((mode != "kill" && mode != "steps" && mode != "control") || rounds <= 0) return 2;
    std::printf("hive %s: seed %llu\n", mode.c_str(), static_cast<unsigned long long>(seed));
    return Run(mode != "kill", mode == "control", rounds, dir, seed);
}
