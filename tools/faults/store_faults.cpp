// Fault runs against the embedded store, each a writer (a forked process using the registry
// layer exactly as the windows do) and a checker:
//
//   store_faults kill ROUNDS        a writer killed (SIGKILL) at a random moment of a storm
//   store_faults cut ROUNDS         the same under the power-cut VFS: unsynced writes are lost
//   store_faults concurrent PROCS WRITES   PROCS processes writing one store at once
//
// Options: --dir DIR (work folder, default a fresh one under /tmp, removed when all passed),
// --seed N, --lying-disk (cut only: a control run whose syncs do nothing, which must fail).
// Each run ends with a line "<mode>: N passed, N failed" and exits 1 on a failure.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "fault_support.h"
#include "powercut_vfs.h"
#include "registry/sqlite/sqlite_store.h"
#include "settings/registry.h"
#include "settings/schema.h"

namespace fs = std::filesystem;
using platform::HKey;
using platform::RegistryBackend;
using platform::SqliteStore;

namespace {

using faults::Expected;
using faults::kNamesPerKey;
using faults::NameOf;
using faults::Now;
using faults::ReadAll;
using faults::StartsGroup;
using faults::UnitEnd;
using faults::WriteAll;

// Passes every call on and counts those that failed: what a user would have met as a lost
// setting, since the layer itself reports nothing.
class FailureCounter : public RegistryBackend {
  public:
    explicit FailureCounter(RegistryBackend& inner) : inner_(inner) {}
    long failures = 0;
    std::string last;

    long OpenKey(HKey root, const std::string& path, std::uint32_t access, HKey* out) override {
        return Note("OpenKey " + path, inner_.OpenKey(root, path, access, out));
    }
    long CreateKeyEx(HKey root, const std::string& path, std::uint32_t options,
                     std::uint32_t access, HKey* out) override {
        return Note("CreateKeyEx " + path, inner_.CreateKeyEx(root, path, options, access, out));
    }
    long CreateKey(HKey root, const std::string& path, HKey* out) override {
        return Note("CreateKey " + path, inner_.CreateKey(root, path, out));
    }
    long QueryValue(HKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override {
        return Note("QueryValue " + name, inner_.QueryValue(key, name, type, data, size));
    }
    long SetValue(HKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override {
        return Note("SetValue " + name, inner_.SetValue(key, name, type, data, size));
    }
    long DeleteValue(HKey key, const std::string& name) override {
        return Note("DeleteValue " + name, inner_.DeleteValue(key, name));
    }
    long CloseKey(HKey key) override { return Note("CloseKey", inner_.CloseKey(key)); }
    void Together(const std::function<void()>& body) override { inner_.Together(body); }

  private:
    long Note(const std::string& what, long status) {
        if (status != 0) {
            ++failures;
            last = what + " -> " + std::to_string(status);
        }
        return status;
    }
    RegistryBackend& inner_;
};

const char* const kKeys[] = {schema::kControlPanel, schema::kCustomization,
                             schema::kDriverEqualizer};
constexpr int kSlots = 3 * kNamesPerKey;

// Write number seq goes to one of a fixed set of slots (key and value name).
int SlotOf(long seq) {
    return static_cast<int>((static_cast<unsigned long>(seq) * 2654435761u >> 7) % kSlots);
}
const char* KeyOf(int slot) {
    return kKeys[slot / kNamesPerKey];
}
void Store(settings::Registry& registry, long seq) {
    const int slot = SlotOf(seq);
    faults::StoreSeq(registry, KeyOf(slot), slot, seq);
}

struct Options {
    std::string dir;
    std::uint64_t seed = 0;
    bool seeded = false;
    bool lyingDisk = false;
};

std::string MakeDir(const Options& options) {
    if (!options.dir.empty()) {
        fs::create_directories(options.dir);
        return options.dir;
    }
    char pattern[] = "/tmp/calvenor-faults-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    return pattern;
}

// The storm: writes from seq on, reporting each one on ackFd once StoreValue has returned.
[[noreturn]] void Writer(const std::string& path, const std::string& logDir, long cutAt,
                         bool lyingDisk, long seq, int ackFd) {
    if (!logDir.empty() && !faults::RegisterPowerCutVfs(logDir, cutAt, lyingDisk)) ::_exit(10);
    std::string error;
    auto store = SqliteStore::Open(path, &error);
    if (!store) {
        std::fprintf(stderr, "writer: %s\n", error.c_str());
        ::_exit(11);
    }
    FailureCounter counter(*store);
    settings::Registry registry(counter);
    for (;; ++seq) {
        if (StartsGroup(seq)) {
            const long first = seq;
            seq = UnitEnd(seq);
            registry.Together([&] {
                for (long s = first; s <= seq; ++s) Store(registry, s);
            });
        } else {
            Store(registry, seq);
        }
        if (counter.failures) {
            std::fprintf(stderr, "writer: write %ld failed: %s\n", seq, counter.last.c_str());
            ::_exit(12);
        }
        if (!WriteAll(ackFd, &seq, sizeof seq)) ::_exit(13);
    }
}

struct CheckResult {
    int opened = 0;
    int sound = 0;
    int lost = 0;
    int inflightLanded = 0;
};

// Opens the store as the program does and compares every slot with what was acknowledged:
// the store must hold exactly that, or that with the whole unit in flight at the kill.
// Runs in its own process, which half the time dies without closing the store, so that the
// next writer finds a log to recover from.
CheckResult Check(const std::string& path, const std::map<int, long>& acked, long inflight,
                  bool leaveLog) {
    std::map<int, long> landed = acked;
    for (long seq = inflight; seq <= UnitEnd(inflight); ++seq) landed[SlotOf(seq)] = seq;
    int result[2];
    if (::pipe(result) != 0) std::exit(2);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(result[0]);
        CheckResult out;
        std::string error;
        auto store = SqliteStore::Open(path, &error);
        if (!store) {
            std::fprintf(stderr, "check: %s\n", error.c_str());
            WriteAll(result[1], &out, sizeof out);
            ::_exit(0);
        }
        out.opened = 1;
        const std::string integrity = store->IntegrityCheck();
        out.sound = integrity == "ok";
        if (!out.sound) std::fprintf(stderr, "check: integrity: %s\n", integrity.c_str());
        FailureCounter counter(*store);
        settings::Registry registry(counter);
        std::vector<std::string> found(kSlots);
        const auto want = [](const std::map<int, long>& writes, int slot) {
            const auto it = writes.find(slot);
            return it == writes.end() ? std::string() : Expected(it->second);
        };
        bool asAcked = true;
        bool asLanded = true;
        for (int slot = 0; slot < kSlots; ++slot) {
            found[slot] = registry.FetchValue(platform::kHKLM, KeyOf(slot), NameOf(slot)).str();
            asAcked = asAcked && found[slot] == want(acked, slot);
            asLanded = asLanded && found[slot] == want(landed, slot);
        }
        out.inflightLanded = !asAcked && asLanded;
        for (int slot = 0; slot < kSlots && !asAcked && !asLanded; ++slot) {
            if (found[slot] == want(acked, slot)) continue;
            ++out.lost;
            const auto it = acked.find(slot);
            std::fprintf(stderr, "check: slot %d (%s\\%s): expected write %ld, found %.40s\n", slot,
                         KeyOf(slot), NameOf(slot).c_str(), it == acked.end() ? -1L : it->second,
                         found[slot].c_str());
        }
        // A unit found in part: neither whole nor absent.
        if (!asAcked && !asLanded && out.lost == 0) out.lost = 1;
        WriteAll(result[1], &out, sizeof out);
        if (leaveLog) ::_exit(0);
        store.reset();
        ::_exit(0);
    }
    ::close(result[1]);
    CheckResult out;
    if (!ReadAll(result[0], &out, sizeof out)) out = CheckResult{};
    ::close(result[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return out;
}

// kill or cut: rounds of storm, kill, (power restored,) check.
int Storm(int rounds, bool cut, const Options& options) {
    const std::string dir = MakeDir(options);
    const std::string path = dir + "/registry.db";
    const std::string logDir = dir + "/pending";
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
    if (cut) fs::create_directories(logDir);
    {
        std::string error;
        auto store = SqliteStore::Open(path, &error);
        if (!store) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 2;
        }
        for (const char* key : kKeys) store->CreateKeyPath(key);
    }
    std::mt19937_64 random(options.seeded ? options.seed : std::random_device{}());
    std::map<int, long> acked;  // slot -> the last write acknowledged there
    long next = 0;
    long totalAcked = 0;
    int passed = 0;
    int failed = 0;
    int landed = 0;
    long pendingFound = 0;
    const double started = Now();
    for (int round = 1; round <= rounds; ++round) {
        // Most kills come early in a storm, some late enough for the log to be checkpointed.
        static const double kScales[] = {0.02, 0.2, 1.5};
        const double scale = kScales[std::discrete_distribution<int>({50, 35, 15})(random)];
        // Kills land at a moment; power cuts at a file operation, so that they fall inside
        // commits and checkpoints (with a late kill in case the count is never reached).
        const double delay = cut ? 30 : std::uniform_real_distribution<double>(0, scale)(random);
        const long cutAt =
            std::uniform_int_distribution<long>(1, static_cast<long>(scale * 4000))(random);
        int acks[2];
        if (::pipe(acks) != 0) return 2;
        const pid_t child = ::fork();
        if (child < 0) return 2;
        if (child == 0) {
            ::close(acks[0]);
            Writer(path, cut ? logDir : "", cutAt, options.lyingDisk, next, acks[1]);
        }
        ::close(acks[1]);
        const double deadline = Now() + delay;
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
            const int timeout = killed ? -1 : static_cast<int>(left * 1000) + 1;
            const int ready = ::poll(&p, 1, timeout);
            if (ready < 0 && errno == EINTR) continue;
            if (ready == 0) continue;
            if (!ReadAll(acks[0], &seq, sizeof seq)) break;
            // An acknowledgement names the last write of its unit.
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
        if (!WIFSIGNALED(status)) {
            std::fprintf(stderr, "round %d: the writer ended by itself (exit %d)\n", round,
                         WIFEXITED(status) ? WEXITSTATUS(status) : -1);
            ++failed;
            break;
        }
        if (cut) {
            pendingFound += faults::RestoreAfterCut(
                logDir, dir, round % 2 ? faults::Cut::DropAll : faults::Cut::Torn, random);
        }
        const CheckResult result = Check(path, acked, inflight, round % 2 == 0);
        if (result.inflightLanded) {
            for (long s = inflight; s <= UnitEnd(inflight); ++s) acked[SlotOf(s)] = s;
            ++landed;
        }
        if (result.opened && result.sound && result.lost == 0) {
            ++passed;
        } else {
            ++failed;
            if (cut) {
                std::fprintf(stderr, "round %d failed (cut at operation %ld); store kept in %s\n",
                             round, cutAt, dir.c_str());
            } else {
                std::fprintf(stderr, "round %d failed (kill after %.1f ms); store kept in %s\n",
                             round, delay * 1000, dir.c_str());
            }
            break;
        }
        if (round % 100 == 0) {
            std::printf("%s: %d rounds, %ld acknowledged writes so far (%.0f s)\n",
                        cut ? "cut" : "kill", round, totalAcked, Now() - started);
            std::fflush(stdout);
        }
    }
    std::printf(
        "%s: %ld acknowledged writes checked over %d rounds, %d in-flight writes found "
        "committed%s, %.0f s\n",
        cut ? "cut" : "kill", totalAcked, passed + failed, landed,
        cut ? (", " + std::to_string(pendingFound) + " unsynced writes dropped or torn").c_str()
            : "",
        Now() - started);
    std::printf("%s: %d passed, %d failed\n", cut ? "cut" : "kill", passed, failed);
    if (failed == 0 && options.dir.empty()) fs::remove_all(dir);
    return failed == 0 ? 0 : 1;
}

std::string SharedText(int writer, int i) {
    return "writer " + std::to_string(writer) + " write " + std::to_string(i);
}
std::string OwnName(int writer, int i) {
    return "P" + std::to_string(writer) + "_" + std::to_string(i);
}
std::string OwnText(int writer, int i) {
    return i % 3 == 0 ? "text of " + OwnName(writer, i) : std::to_string(writer * 1000000 + i);
}

// One of several processes started on a store that does not exist yet: every write, and the
// read of it that follows, must succeed.
[[noreturn]] void ConcurrentWriter(const std::string& path, int writer, int writes, int goFd) {
    char go = 0;
    if (!ReadAll(goFd, &go, 1)) ::_exit(20);
    std::string error;
    auto store = SqliteStore::Open(path, &error);
    if (!store) {
        std::fprintf(stderr, "writer %d: %s\n", writer, error.c_str());
        ::_exit(21);
    }
    FailureCounter counter(*store);
    settings::Registry registry(counter);
    for (const char* key : kKeys) registry.EnsureKey(platform::kHKLM, key);
    long wrongReads = 0;
    for (int i = 0; i < writes; ++i) {
        if (i % 5 == 4) {
            // A value every process overwrites.
            registry.StoreValue(platform::kHKLM, schema::kControlPanel, "Shared",
                                SharedText(writer, i), platform::REG_SZ);
            continue;
        }
        const char* key = kKeys[i % 3];
        const std::string name = OwnName(writer, i);
        if (i % 3 == 0) {
            registry.StoreValue(platform::kHKLM, key, name, OwnText(writer, i), platform::REG_SZ);
        } else {
            registry.StoreValue(platform::kHKLM, key, name, writer * 1000000 + i,
                                platform::REG_DWORD);
        }
        if (registry.FetchValue(platform::kHKLM, key, name).str() != OwnText(writer, i)) {
            ++wrongReads;
        }
    }
    if (counter.failures || wrongReads) {
        std::fprintf(stderr, "writer %d: %ld failed operations (last: %s), %ld wrong reads\n",
                     writer, counter.failures, counter.last.c_str(), wrongReads);
        ::_exit(22);
    }
    ::_exit(0);
}

int Concurrent(int processes, int writes, const Options& options) {
    const std::string dir = MakeDir(options);
    const std::string path = dir + "/registry.db";
    for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix);
    int go[2];
    if (::pipe(go) != 0) return 2;
    const double started = Now();
    std::vector<pid_t> children;
    for (int writer = 0; writer < processes; ++writer) {
        const pid_t child = ::fork();
        if (child < 0) return 2;
        if (child == 0) {
            ::close(go[1]);
            ConcurrentWriter(path, writer, writes, go[0]);
        }
        children.push_back(child);
    }
    ::close(go[0]);
    const std::string all(static_cast<std::size_t>(processes), 'g');
    WriteAll(go[1], all.data(), all.size());
    ::close(go[1]);
    int failed = 0;
    for (const pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
    }
    const double took = Now() - started;

    std::string error;
    auto store = SqliteStore::Open(path, &error);
    int lost = 0;
    if (!store) {
        std::fprintf(stderr, "%s\n", error.c_str());
        ++failed;
    } else {
        const std::string integrity = store->IntegrityCheck();
        if (integrity != "ok") {
            std::fprintf(stderr, "integrity: %s\n", integrity.c_str());
            ++failed;
        }
        settings::Registry registry(*store);
        for (int writer = 0; writer < processes; ++writer) {
            for (int i = 0; i < writes; ++i) {
                if (i % 5 == 4) continue;
                const std::string got =
                    registry.FetchValue(platform::kHKLM, kKeys[i % 3], OwnName(writer, i)).str();
                if (got != OwnText(writer, i)) {
                    if (lost++ < 10) {
                        std::fprintf(stderr, "lost: %s = \"%s\"\n", OwnName(writer, i).c_str(),
                                     got.c_str());
                    }
                }
            }
        }
        // The shared value holds the last write of one of the processes.
        const std::string shared =
            registry.FetchValue(platform::kHKLM, schema::kControlPanel, "Shared").str();
        bool known = false;
        const int last = (writes - 1) / 5 * 5 + 4;
        for (int writer = 0; writer < processes && writes >= 5; ++writer) {
            known |= shared == SharedText(writer, last < writes ? last : last - 5);
        }
        if (writes >= 5 && !known) {
            std::fprintf(stderr, "shared value is \"%s\", no process's last write\n",
                         shared.c_str());
            ++lost;
        }
    }
    const long total = static_cast<long>(processes) * writes;
    std::printf(
        "concurrent: %d processes x %d writes (%ld in all, each own write read back) in "
        "%.1f s, %.2f ms a write; %d lost\n",
        processes, writes, total, took, took * 1000 / static_cast<double>(total), lost);
    const int ok = failed == 0 && lost == 0;
    std::printf("concurrent %dx%d: %d passed, %d failed\n", processes, writes, ok ? 1 : 0,
                ok ? 0 : 1);
    if (ok && options.dir.empty()) fs::remove_all(dir);
    if (!ok) std::fprintf(stderr, "store kept in %s\n", dir.c_str());
    return ok ? 0 : 1;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: store_faults kill ROUNDS [--dir DIR] [--seed N]\n"
                 "       store_faults cut ROUNDS [--dir DIR] [--seed N] [--lying-disk]\n"
                 "       store_faults concurrent PROCESSES WRITES [--dir DIR]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    Options options;
    std::vector<std::string> plain;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--dir" && i + 1 < args.size()) {
            options.dir = args[++i];
        } else if (args[i] == "--lying-disk") {
            options.lyingDisk = true;
        } else if (args[i] == "--seed" && i + 1 < args.size()) {
            options.seed = std::stoull(args[++i]);
            options.seeded = true;
        } else {
            plain.push_back(args[i]);
        }
    }
    ::signal(SIGPIPE, SIG_IGN);
    if (plain.size() == 2 && (plain[0] == "kill" || plain[0] == "cut")) {
        return Storm(std::atoi(plain[1].c_str()), plain[0] == "cut", options);
    }
    if (plain.size() == 3 && plain[0] == "concurrent") {
        return Concurrent(std::atoi(plain[1].c_str()), std::atoi(plain[2].c_str()), options);
    }
    return Usage();
}
