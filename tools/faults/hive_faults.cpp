// Fault runs against an XP installation's hives (--windows), each a writer (a forked process
// using the registry layer as the windows do) and a checker:
//
//   hive_faults kill ROUNDS    the writer killed (SIGKILL) at a random moment of a storm
//   hive_faults steps ROUNDS   the writer dies at each step of a commit in turn (before the
//                              new file, after writing it, after syncing it, after the
//                              rename, after syncing the folder); dying after writing it, the
//                              new file also loses a random tail, as unsynced data does when
//                              the power fails
//   hive_faults control ROUNDS a control run: the writer dies after writing the new file, whose
//                              tail is lost, and that torn file is then put in the hive's
//                              place, as a writer in place would leave it; the checker must
//                              find the damage (the run fails when it does not)
//
// After each round the hives must open (every check passes, libhivex reads every key) and
// hold exactly the acknowledged writes, or those and the unit in flight. Units are single
// writes (to either hive) or groups of four made together (Reset All's way), which land in
// one hive whole or not at all. Options: --dir DIR (kept), --seed N.
#include <hivex.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "registry/hive/hive_file.h"
#include "registry/hive/hive_registry.h"
#include "settings/registry.h"
#include "settings/schema.h"
#include "support/xp_installation_posix.h"

namespace fs = std::filesystem;
using platform::HiveFile;
using platform::HiveRegistry;

namespace {

const char* const kSystemKeys[] = {schema::kControlPanel, schema::kCustomization,
                                   schema::kDriverEqualizer};
constexpr int kNamesPerKey = 40;
constexpr int kSystemSlots = 3 * kNamesPerKey;
constexpr int kSoftwareSlots = 20;
constexpr int kSlots = kSystemSlots + kSoftwareSlots;
constexpr long kGroupSize = 4;

bool StartsGroup(long seq) {
    return seq % kGroupSize == 0 && seq / kGroupSize % 5 == 2;
}
bool InGroup(long seq) {
    return StartsGroup(seq - seq % kGroupSize);
}
long UnitEnd(long seq) {
    return StartsGroup(seq) ? seq + kGroupSize - 1 : seq;
}
// Groups stay in the SYSTEM hive (a group is one commit of one hive); every fifth single write
// goes to SOFTWARE.
int SlotOf(long seq) {
    if (!InGroup(seq) && seq % 5 == 1)
        return kSystemSlots + static_cast<int>(seq / 5 % kSoftwareSlots);
    return static_cast<int>((static_cast<unsigned long>(seq) * 2654435761u >> 7) % kSystemSlots);
}
const char* KeyOf(int slot) {
    return slot >= kSystemSlots ? schema::kAU8830Equalizer : kSystemKeys[slot / kNamesPerKey];
}
std::string NameOf(int slot) {
    return "Fault" + std::to_string(slot % kNamesPerKey);
}
bool IsText(long seq) {
    return seq % 7 == 3;
}
std::string Expected(long seq) {
    if (!IsText(seq)) return std::to_string(static_cast<std::int32_t>(seq));
    const std::size_t length = static_cast<std::size_t>(seq * 7919 % 3000);
    std::string text = "#" + std::to_string(seq) + ":";
    while (text.size() < length) text += static_cast<char>('a' + (seq + text.size()) % 26);
    return text;
}

void StoreSeq(settings::Registry& registry, long seq) {
    const int slot = SlotOf(seq);
    if (IsText(seq)) {
        registry.StoreValue(platform::kHKLM, KeyOf(slot), NameOf(slot), Expected(seq),
                            platform::REG_SZ);
    } else {
        registry.StoreValue(platform::kHKLM, KeyOf(slot), NameOf(slot),
                            static_cast<std::int32_t>(seq), platform::REG_DWORD);
    }
}

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size) == static_cast<ssize_t>(size);
}

// The step a writer of the steps mode dies at: of its commit number dieAt.
int gDieStep = 0;
long gDieAt = 0;
long gCommits = 0;
std::string gNewFile;
unsigned gTail = 0;
// The control run expects damage: the checker's findings are its success, not news.
bool gQuiet = false;

void DieAtStep(int step) {
    if (step == 1) ++gCommits;
    if (gCommits != gDieAt || step != gDieStep) return;
    if (step == 2) {
        // The power fails before the new file is synced: its tail never reached the disk.
        for (const char* hive : {"SYSTEM", "SOFTWARE"}) {
            const std::string path = HiveFile::NewFileName(gNewFile + hive);
            std::error_code error;
            const auto size = fs::file_size(path, error);
            if (!error) fs::resize_file(path, size - size * (gTail % 100) / 100, error);
        }
    }
    ::_exit(9);
}

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
        if (StartsGroup(seq)) {
            const long first = seq;
            seq = UnitEnd(seq);
            registry.Together([&] {
                for (long s = first; s <= seq; ++s) StoreSeq(registry, s);
            });
        } else {
            StoreSeq(registry, seq);
        }
        if (failures) ::_exit(12);
        if (!WriteAll(ackFd, &seq, sizeof seq)) ::_exit(13);
    }
}

// Opens the hives as the program does and compares every slot: exactly the acknowledged
// writes, or those and the unit in flight. Returns 1 if the unit in flight landed, 0 if not,
// -1 for a failure.
int Check(const std::string& windows, const std::map<int, long>& acked, long inflight) {
    std::string error;
    auto hives = HiveRegistry::Open(windows, HiveRegistry::Access::ReadWrite, &error);
    if (!hives) {
        if (!gQuiet) std::fprintf(stderr, "check: %s\n", error.c_str());
        return -1;
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
    gNewFile = windows + "/system32/config/";
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
        gDieStep = control ? 2 : 1 + (round - 1) % 5;
        gDieAt = std::uniform_int_distribution<long>(1, 12)(random);
        gTail = static_cast<unsigned>(random());
        gCommits = 0;
        int acks[2];
        if (::pipe(acks) != 0) return 2;
        const pid_t child = ::fork();
        if (child < 0) return 2;
        if (child == 0) {
            ::close(acks[0]);
            if (steps) HiveFile::fault_hook = DieAtStep;
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
        if (control) {
            const std::string system = windows + "/system32/config/SYSTEM";
            std::error_code error;
            fs::rename(HiveFile::NewFileName(system), system, error);
        }
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
        return damageFound > 0 ? 0 : 1;
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
