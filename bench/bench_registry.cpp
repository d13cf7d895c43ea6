// Cost of the registry layer on the embedded store, against the physical floor measured in the
// same run: the same number of SQLite commits (and reads) issued directly with prepared
// statements on a store in the same mode (WAL, synchronous=FULL). Prints figures only.
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
#include <string>
#include <vector>

#include "app/frm_main.h"
#include "platform/posix_platform_posix.h"
#include "platform/regedit.h"
#include "platform/sqlite_store_posix.h"
#include "store/registry.h"
#include "store/schema.h"
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

// Counts what reaches the store: commits (writes, deletions, key creations) and reads.
class Counter : public platform::RegistryBackend {
  public:
    explicit Counter(platform::RegistryBackend& inner) : inner_(inner) {}
    long commits = 0;
    long reads = 0;
    long OpenKey(HKey r, const std::string& p, std::uint32_t a, HKey* o) override {
        return inner_.OpenKey(r, p, a, o);
    }
    long CreateKeyEx(HKey r, const std::string& p, std::uint32_t op, std::uint32_t a,
                     HKey* o) override {
        ++commits;
        return inner_.CreateKeyEx(r, p, op, a, o);
    }
    long CreateKey(HKey r, const std::string& p, HKey* o) override {
        ++commits;
        return inner_.CreateKey(r, p, o);
    }
    long QueryValue(HKey k, const std::string& n, std::uint32_t* t, std::uint8_t* d,
                    std::uint32_t* s) override {
        ++reads;
        return inner_.QueryValue(k, n, t, d, s);
    }
    long SetValue(HKey k, const std::string& n, std::uint32_t t, const std::uint8_t* d,
                  std::uint32_t s) override {
        ++commits;
        return inner_.SetValue(k, n, t, d, s);
    }
    long DeleteValue(HKey k, const std::string& n) override {
        ++commits;
        return inner_.DeleteValue(k, n);
    }
    long CloseKey(HKey k) override { return inner_.CloseKey(k); }
    // The writes of a group are one commit.
    void Together(const std::function<void()>& body) override {
        const long before = commits;
        inner_.Together(body);
        commits = std::min(commits, before + 1);
    }

  private:
    platform::RegistryBackend& inner_;
};

class Silent : public ui::Prompter {
  public:
    ui::Answer Show(const ui::Message&) override { return ui::Answer::No; }
};

// The floor: one commit of one row, and one read of one row, with prepared statements.
struct Floor {
    double commit = 0;
    double read = 0;
};

Floor MeasureFloor(const std::string& path, int repeats) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;"
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
    int i = 0;
    Floor floor;
    floor.commit = Median(repeats, [&] {
        sqlite3_bind_text(put, 1, "GamerMode", -1, SQLITE_STATIC);
        sqlite3_bind_int(put, 2, ++i);
        sqlite3_step(put);
        sqlite3_reset(put);
    });
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

void Line(const char* what, double median, long commits, long reads, const Floor& floor,
          double target) {
    const double physical =
        static_cast<double>(commits) * floor.commit + static_cast<double>(reads) * floor.read;
    std::printf(
        "%-28s %9.3f ms  (%3ld commits, %3ld reads; floor %7.3f ms, ratio %5.1f)  "
        "target < %.1f ms: %s\n",
        what, median, commits, reads, physical, physical > 0 ? median / physical : 0, target,
        median < target ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(5, std::atoi(argv[1])) : 300;
    char pattern[] = "/tmp/calvenor-bench-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    const std::string dir = pattern;
    const Floor floor = MeasureFloor(dir + "/floor.db", repeats);
    std::printf("floor (prepared, WAL, synchronous=FULL): commit %.3f ms, read %.4f ms\n",
                floor.commit, floor.read);

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
    store::Registry registry(counter);
    platform::PosixPlatform machine(counter, "", dir);
    Silent prompter;
    ui::App app(registry, machine, prompter);

    const auto count = [&](const std::function<void()>& body, long* commits, long* reads) {
        counter.commits = counter.reads = 0;
        body();
        *commits = counter.commits;
        *reads = counter.reads;
    };
    long commits = 0;
    long reads = 0;

    // Each write changes the value, so that every one is a real commit.
    int flip = 0;
    const auto store1 = [&] {
        registry.StoreValue(platform::kHKLM, schema::kControlPanel, schema::kGamerMode, ++flip % 2,
                            platform::REG_DWORD);
    };
    count(store1, &commits, &reads);
    Line("StoreValue", Median(repeats, store1), commits, reads, floor, 0.5);

    const auto fetch1 = [&] {
        registry.FetchValue(platform::kHKLM, schema::kControlPanel, schema::kGamerMode);
    };
    count(fetch1, &commits, &reads);
    Line("FetchValue", Median(repeats, fetch1), commits, reads, floor, 0.5);

    auto& main = app.Open<app::FrmMain>();
    const auto load = [&] {
        auto& form = app.Open<app::FrmMain>();
        form.Show();
        form.Unload();
        app.Collect();
    };
    // A consistent machine: the load writes back what it read, which SQLite finds unchanged.
    main.Show();
    count(load, &commits, &reads);
    Line("main window load", Median(repeats, load), commits, reads, floor, 5);

    main.cmdReset->Click();
    ui::Form* reset = app.Forms().back();
    ui::Control* all = reset->Find("cmdResetAll");
    const auto resetAll = [&] { all->Click(); };
    // SQLite writes nothing for a value rewritten unchanged, so before each timed run every
    // value the reset writes is set to something else (in one untimed transaction).
    const auto unsettle = [&] {
        std::vector<platform::StoredValue> values;
        store->Batch([&] {
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
    unsettle();
    count(resetAll, &commits, &reads);
    Line("Reset All (values changed)", Median(repeats, resetAll, unsettle), commits, reads, floor,
         10);
    Line("Reset All (again, unchanged)", Median(repeats, resetAll), commits, reads, floor, 10);
    reset->RequestClose();
    app.Collect();

    const auto eq = [&] {
        main.cmdEQSettings->Click();
        ui::Form* form = app.Forms().back();
        form->RequestClose();
        app.Collect();
    };
    count(eq, &commits, &reads);
    Line("equalizer window load", Median(repeats, eq), commits, reads, floor, 5);

    store.reset();
    fs::remove_all(dir);
    return 0;
}
