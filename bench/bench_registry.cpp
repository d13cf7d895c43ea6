// Cost of the registry layer on the embedded store, against the physical floor measured in the
// same run: the same number of SQLite commits (changing a row, or rewriting it unchanged) and
// reads issued directly with prepared statements on a store in the same mode (WAL,
// synchronous=FULL, the same short log). Prints figures only.
//
//   bench_registry [REPEATS]    (default 300)
#include <sqlite3.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "formats/regedit/regedit.h"
#include "main_window/frm_main.h"
#include "platform/posix/posix_platform.h"
#include "registry/nt_version.h"
#include "registry/sqlite/sqlite_store.h"
#include "settings/registry.h"
#include "settings/schema.h"
#include "ui/app.h"

namespace fs = std::filesystem;
using platform::HKey;

namespace {

double Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

// Median in milliseconds of body run repeats times (after two warm-up runs); prepare, when
// given, runs untimed before each run.
double Median(int repeats, const std::function<void()>& body,
              const std::function<void()>& prepare = nullptr) {
    body();
    body();
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        if (prepare) prepare();
        const double start = Now();
        body();
        times.push_back(Now() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Counts what reaches the store: commits (writes, deletions, key creations) and reads. A commit
// that leaves the store as it was costs SQLite no log write, so while classifying (untimed) each
// one is looked up first and counted as changing or unchanged.
class Counter : public platform::RegistryBackend {
  public:
    explicit Counter(platform::RegistryBackend& inner) : inner_(inner) {}
    bool classify = false;
    long commits = 0;
    long unchanged = 0;
    long writes = 0;
    long reads = 0;
    long OpenKey(HKey r, const std::string& p, std::uint32_t a, HKey* o) override {
        return inner_.OpenKey(r, p, a, o);
    }
    long CreateKeyEx(HKey r, const std::string& p, std::uint32_t op, std::uint32_t a,
                     HKey* o) override {
        Commit(!KeyExists(r, p));
        return inner_.CreateKeyEx(r, p, op, a, o);
    }
    long CreateKey(HKey r, const std::string& p, HKey* o) override {
        Commit(!KeyExists(r, p));
        return inner_.CreateKey(r, p, o);
    }
    long QueryValue(HKey k, const std::string& n, std::uint32_t* t, std::uint8_t* d,
                    std::uint32_t* s) override {
        ++reads;
        return inner_.QueryValue(k, n, t, d, s);
    }
    long SetValue(HKey k, const std::string& n, std::uint32_t t, const std::uint8_t* d,
                  std::uint32_t s) override {
        const auto now = Read(k, n);
        Commit(!now || now->first != t ||
               !std::equal(now->second.begin(), now->second.end(), d, d + s));
        return inner_.SetValue(k, n, t, d, s);
    }
    long DeleteValue(HKey k, const std::string& n) override {
        Commit(Read(k, n).has_value());
        return inner_.DeleteValue(k, n);
    }
    long CloseKey(HKey k) override { return inner_.CloseKey(k); }
    // The writes of a group are one commit, changing if any of them changes the store.
    void Together(const std::function<void()>& body) override {
        const long commitsBefore = commits;
        const long unchangedBefore = unchanged;
        inner_.Together(body);
        if (commits > commitsBefore) {
            commits = commitsBefore + 1;
            unchanged = unchangedBefore;
        } else {
            unchanged = std::min(unchanged, unchangedBefore + 1);
        }
    }

  private:
    void Commit(bool changes) {
        ++writes;
        if (changes || !classify) {
            ++commits;
        } else {
            ++unchanged;
        }
    }
    bool KeyExists(HKey root, const std::string& path) {
        if (!classify) return false;
        HKey key = 0;
        if (inner_.OpenKey(root, path, platform::kKeyQueryValue, &key) !=
            platform::winerr::kSuccess) {
            return false;
        }
        inner_.CloseKey(key);
        return true;
    }
    // Type and data of a value, when classifying and it exists.
    std::optional<std::pair<std::uint32_t, std::vector<std::uint8_t>>> Read(
        HKey key, const std::string& name) {
        if (!classify) return std::nullopt;
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        if (inner_.QueryValue(key, name, &type, nullptr, &size) != platform::winerr::kSuccess) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> data(size);
        if (inner_.QueryValue(key, name, &type, data.data(), &size) != platform::winerr::kSuccess) {
            return std::nullopt;
        }
        return std::make_pair(type, std::move(data));
    }

    platform::RegistryBackend& inner_;
};

class Silent : public ui::Prompter {
  public:
    ui::Answer Show(const ui::Message&) override { return ui::Answer::No; }
};

// The floor: one commit of one row (changing it, and rewriting it unchanged), and one read of
// one row, with prepared statements.
struct Floor {
    double commit = 0;
    double unchanged = 0;
    double read = 0;
};

Floor MeasureFloor(const std::string& path, int repeats) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA wal_autocheckpoint=16;"
                 "PRAGMA journal_size_limit=65536;"
                 "CREATE TABLE v(k TEXT, n TEXT, t INTEGER, d BLOB, PRIMARY KEY(k, n))"
                 " WITHOUT ROWID;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* put = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO v VALUES('ControlPanel', ?1, 4, ?2) ON CONFLICT(k, n) DO "
                       "UPDATE SET d = excluded.d",
                       -1, &put, nullptr);
    sqlite3_stmt* get = nullptr;
    sqlite3_prepare_v2(db, "SELECT t, d FROM v WHERE k = 'ControlPanel' AND n = ?1", -1, &get,
                       nullptr);
    const auto write = [&](int value) {
        sqlite3_bind_text(put, 1, "GamerMode", -1, SQLITE_STATIC);
        sqlite3_bind_int(put, 2, value);
        sqlite3_step(put);
        sqlite3_reset(put);
    };
    int i = 0;
    Floor floor;
    floor.commit = Median(repeats, [&] { write(++i); });
    floor.unchanged = Median(repeats, [&] { write(i); });
    floor.read = Median(repeats, [&] {
        sqlite3_bind_text(get, 1, "GamerMode", -1, SQLITE_STATIC);
        sqlite3_step(get);
        sqlite3_reset(get);
    });
    sqlite3_finalize(put);
    sqlite3_finalize(get);
    sqlite3_close(db);
    return floor;
}

struct Counts {
    long commits = 0;
    long unchanged = 0;
    long writes = 0;
    long reads = 0;
};

// The floor prices each commit as measured, and each further write inside a group as a write
// that by itself reaches no disk (a rewrite unchanged).
void Line(const char* what, double median, const Counts& n, const Floor& floor, double target) {
    const long grouped = n.writes - n.commits - n.unchanged;
    const double physical = static_cast<double>(n.commits) * floor.commit +
                            static_cast<double>(n.unchanged + grouped) * floor.unchanged +
                            static_cast<double>(n.reads) * floor.read;
    std::printf(
        "%-28s %7.3f ms  (%2ld writes: %ld commits, %2ld unchanged; %2ld reads; floor %5.3f ms, "
        "ratio %4.1f)  target < %.1f ms: %s\n",
        what, median, n.writes, n.commits, n.unchanged, n.reads, physical,
        physical > 0 ? median / physical : 0, target, median < target ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(5, std::atoi(argv[1])) : 300;
    char pattern[] = "/tmp/calvenor-bench-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const std::string dir = pattern;
    const Floor floor = MeasureFloor(dir + "/floor.db", repeats);
    std::printf(
        "floor (prepared, WAL, synchronous=FULL): commit %.3f ms, unchanged commit %.3f ms, "
        "read %.4f ms\n",
        floor.commit, floor.unchanged, floor.read);

    std::string error;
    auto store = platform::SqliteStore::Open(dir + "/machine.db", &error);
    if (!store) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const std::string seed = std::string(CALVENOR_SOURCE_DIR) + "/data/seed.reg";
    error = platform::regedit::ImportRegFile(*store, seed, nullptr);
    if (!error.empty()) {
        std::fprintf(stderr, "seed: %s\n", error.c_str());
        return 1;
    }
    Counter counter(*store);
    settings::Registry registry(counter);
    platform::PosixPlatform machine(platform::NtVersionQuery(counter), "", dir);
    Silent prompter;
    ui::App app(registry, machine, prompter);

    // What one more run of body, after the timed ones, reaches the store with.
    const auto count = [&](const std::function<void()>& body) {
        counter.commits = counter.unchanged = counter.writes = counter.reads = 0;
        counter.classify = true;
        body();
        counter.classify = false;
        return Counts{counter.commits, counter.unchanged, counter.writes, counter.reads};
    };

    // Each write stores a number not stored before, so that every one is a real commit.
    int next = 1000;
    const auto store1 = [&] {
        registry.StoreValue(platform::kHKLM, schema::kControlPanel, schema::kGamerMode, ++next,
                            platform::REG_DWORD);
    };
    double median = Median(repeats, store1);
    Line("StoreValue", median, count(store1), floor, 0.5);

    const auto fetch1 = [&] {
        registry.FetchValue(platform::kHKLM, schema::kControlPanel, schema::kGamerMode);
    };
    median = Median(repeats, fetch1);
    Line("FetchValue", median, count(fetch1), floor, 0.5);

    auto& main = app.Open<main_window::FrmMain>();
    const auto load = [&] {
        auto& form = app.Open<main_window::FrmMain>();
        form.Show();
        form.Unload();
        app.Collect();
    };
    // A consistent machine: the load writes back what it read, which SQLite finds unchanged.
    main.Show();
    median = Median(repeats, load);
    Line("main window load", median, count(load), floor, 5);

    main.cmdReset->Click();
    ui::Form* reset = app.Forms().back();
    ui::Control* all = reset->Find("cmdResetAll");
    const auto resetAll = [&] { all->Click(); };
    // SQLite writes nothing for a value rewritten unchanged, so before each timed run every
    // value the reset writes is set to something else (in one untimed transaction).
    const auto unsettle = [&] {
        std::vector<platform::StoredValue> values;
        store->AllOrNone([&] {
            for (const char* key : {schema::kControlPanel, schema::kCustomization}) {
                store->Values(key, &values);
                for (const auto& value : values) {
                    store->PutValue(key, value.name, platform::REG_DWORD, {7, 7, 0, 0});
                }
            }
            store->PutValue(schema::kControlPanel, "AC97MixerLocation", platform::REG_SZ,
                            {'m', 'i', 'x'});
            return 0L;
        });
    };
    median = Median(repeats, resetAll, unsettle);
    unsettle();
    Line("Reset All (values changed)", median, count(resetAll), floor, 10);
    median = Median(repeats, resetAll);
    Line("Reset All (again, unchanged)", median, count(resetAll), floor, 10);
    reset->RequestClose();
    app.Collect();

    const auto eq = [&] {
        main.digital.cmdEQSettings->Click();
        ui::Form* form = app.Forms().back();
        form->RequestClose();
        app.Collect();
    };
    median = Median(repeats, eq);
    Line("equalizer window load", median, count(eq), floor, 5);

    store.reset();
    fs::remove_all(dir);
    return 0;
}
