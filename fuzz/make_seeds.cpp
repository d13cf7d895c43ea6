// Writes seed corpora for the fuzz targets from files made here:
//   make_seeds OUT
// OUT/regedit: the seed machine's file and its exports in both encodings, whole and per key,
//   each behind the first byte that regedit_fuzz reads as the way to take the rest, and files
//   with every form a file can hold, as written and as edited by hand;
// OUT/store: stores (the seed machine in write-ahead and in rollback-journal form, an empty
//   store, a store with one key);
// OUT/headless: command lists that walk every window of the seeded machine;
// OUT/pe: the seed machine's Windows files as the PE writer makes them.
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "formats/pe/pe_writer.h"
#include "formats/regedit/regedit.h"
#include "fuzz_support.h"
#include "gui/headless/headless.h"
#include "main_window/frm_main.h"
#include "platform/platform.h"
#include "platform/seed_windows.h"
#include "registry/hive/hive_format.h"
#include "registry/hive/hive_keys.h"
#include "registry/nt_version.h"
#include "registry/regedit_io.h"
#include "registry/sqlite/sqlite_store.h"
#include "settings/registry.h"
#include "settings/schema.h"
#include "support/xp_installation_posix.h"
#include "ui/app.h"

namespace fs = std::filesystem;
using fuzz_support::ReadFile;
using fuzz_support::WriteFile;
namespace regedit = platform::regedit;

namespace {

int failures = 0;

void Require(bool ok, const std::string& what) {
    if (!ok) {
        std::fprintf(stderr, "make_seeds: %s\n", what.c_str());
        ++failures;
    }
}

// The file without its first line (and, for UTF-16, without its byte-order mark).
std::string Body(const std::string& file, bool utf16) {
    if (!utf16) return file.substr(file.find('\n') + 1);
    for (std::size_t i = 2; i + 1 < file.size(); i += 2) {
        if (file[i] == '\n' && file[i + 1] == '\0') return file.substr(i + 2);
    }
    return "";
}

void RegeditSeeds(const fs::path& out, platform::SqliteStore& store, const std::string& seed) {
    fs::create_directories(out);
    WriteFile(out / "seed.reg", std::string(1, '\0') + seed);
    WriteFile(out / "seed_body.reg", std::string(1, '\1') + Body(seed, false));
    int n = 0;
    for (const std::string key : {"", schema::kControlPanel, schema::kCustomization,
                                  platform::nt_version::kKey, schema::kAU8830Equalizer}) {
        for (const auto encoding : {regedit::Encoding::Regedit4, regedit::Encoding::Unicode5}) {
            std::string text;
            Require(platform::ExportRegText(store, key, encoding, &text).empty(), "export " + key);
            const bool utf16 = encoding == regedit::Encoding::Unicode5;
            const std::string stem = "export" + std::to_string(n++) + (utf16 ? "_u5" : "_r4");
            WriteFile(out / (stem + ".reg"), std::string(1, '\0') + text);
            WriteFile(out / (stem + "_body.reg"),
                      std::string(1, utf16 ? '\2' : '\1') + Body(text, utf16));
        }
    }
    // Every value form a file can hold, deletions included.
    const std::string forms =
        "\1; comment\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n@=\"default\"\r\n"
        "\"Text\"=\"quote \\\" and \\\\ and \\n\"\r\n\"Number\"=dword:ffffffff\r\n"
        "\"Bin\"=hex:00,01,ff,\\\r\n  10\r\n\"Multi\"=hex(7):61,00,62,00,00\r\n"
        "\"Expand\"=hex(2):25,50,25,00\r\n\"None\"=hex(0):\r\n\"Gone\"=-\r\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\B]\r\n[HKEY_CURRENT_USER\\Skipped]\r\n\"x\"=\"y\"\r\n"
        "[HKLM\\Short]\r\n\"\xE9t\xE9\"=\"\x80\"\r\n";
    WriteFile(out / "forms.reg", forms);
    // What regedit reads in a file edited by hand, and what it skips.
    const std::string hand =
        std::string(1, '\0') +
        "  REGEDIT4\n# hash comment\\\n\t[HKEY_LOCAL_MACHINE\\SOFTWARE\\Hand\\]\n"
        "  \"d\" = dword:\t0000000a ;c\n\"e\"=dword:1 #c\n\"t\"=hex(1):41,42 ; no terminating NUL\n"
        "\"x\"=hex(2):25,41,\\ ;c\n\n;c\n  25\n\"y\"=hex:01,02\\\n\"z\"=\"C:\\0ld\"\n"
        "[HKEY_LOCAL_MACHINE\\A] b\n\"m\"=hex(7):41,00,\\\n#c\n[HKLM\\B]\nstray\n"
        "[-HKEY_LOCAL_MACHINE]\n\"w\"=hex:01,\\";
    WriteFile(out / "hand.reg", hand);
}

std::string StoreSeeds(const fs::path& out, const std::string& seed,
                       std::unique_ptr<platform::SqliteStore>* machine) {
    fs::create_directories(out);
    const fs::path scratch = fuzz_support::ScratchFolder();
    const std::string path = (scratch / "machine.db").string();
    std::string error;
    *machine = platform::SqliteStore::Open(path, &error);
    if (!*machine) return error;
    error = platform::ImportRegText(**machine, seed, "seed.reg", nullptr);
    if (!error.empty()) return error;
    {
        auto empty = platform::SqliteStore::Open((scratch / "empty.db").string(), &error);
        if (!empty) return error;
        auto one = platform::SqliteStore::Open((scratch / "one.db").string(), &error);
        if (!one) return error;
        one->CreateKeyPath(schema::kControlPanel);
        one->PutValue(schema::kControlPanel, schema::kPrimaryXtalk, platform::REG_DWORD,
                      {4, 0, 0, 0});
    }
    // Closing the store folds its log into the file; a copy then is a whole store.
    auto copy = platform::SqliteStore::Open(path, &error, platform::SqliteStore::Access::ReadOnly);
    machine->reset();
    copy.reset();
    fs::copy_file(path, out / "machine_wal.db", fs::copy_options::overwrite_existing);
    fs::copy_file(scratch / "empty.db", out / "empty.db", fs::copy_options::overwrite_existing);
    fs::copy_file(scratch / "one.db", out / "one.db", fs::copy_options::overwrite_existing);
    // The same machine in rollback-journal form, as an older or foreign writer leaves it.
    const std::string rollback = (scratch / "rollback.db").string();
    fs::copy_file(path, rollback);
    sqlite3* db = nullptr;
    if (sqlite3_open(rollback.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
    }
    sqlite3_close(db);
    if (!error.empty()) return error;
    fs::copy_file(rollback, out / "machine_rollback.db", fs::copy_options::overwrite_existing);
    *machine = platform::SqliteStore::Open(path, &error);
    return *machine ? "" : error;
}

// Commands that move every value control of a window through its range.
std::string ValueCommands(const ui::Form& form) {
    std::ostringstream commands;
    for (const auto& c : form.controls()) {
        const std::string target = form.name() + "." + c->id();
        switch (c->kind()) {
            case ui::Kind::CheckBox:
                commands << "click " << target << "\nclick " << target << "\n";
                break;
            case ui::Kind::Option:
                commands << "click " << target << "\n";
                break;
            case ui::Kind::List:
            case ui::Kind::Tabs:
                for (std::size_t i = 0; i < c->items.size(); ++i) {
                    commands << "select " << target << " " << i << "\n";
                }
                break;
            case ui::Kind::IconList:
                for (std::size_t i = 1; i <= c->items.size(); ++i) {
                    commands << "dblclick " << target << " " << i << "\n";
                }
                break;
            case ui::Kind::ScrollBar:
            case ui::Kind::Slider:
                commands << "set " << target << " " << c->max << "\nset " << target << " " << c->min
                         << "\n";
                break;
            case ui::Kind::TextBox:
                if (!c->readOnly) commands << "type " << target << " C:\\mixer\\ac97.exe /q\n";
                break;
            default:
                break;
        }
    }
    return commands.str();
}

std::string ButtonCommands(const ui::Form& form) {
    std::string commands;
    for (const auto& c : form.controls()) {
        if (c->kind() == ui::Kind::Button)
            commands += "click " + form.name() + "." + c->id() + "\n";
    }
    return commands;
}

// One list for the main window's own controls and one for each window its buttons open.
void HeadlessSeeds(const fs::path& out) {
    fs::create_directories(out);
    testing_support::MemoryRegistry seed = fuzz_support::SeedMachine();
    testing_support::MemoryRegistry machine = seed;
    fuzz_support::QuietPlatform platform(machine);
    settings::Registry registry(machine);
    std::ostringstream transcript;
    gui::HeadlessPrompter prompter(transcript);
    ui::App app(registry, platform, prompter);
    gui::Headless driver(app, prompter, transcript);
    auto& main = app.Open<main_window::FrmMain>();
    main.Show();
    app.Collect();
    WriteFile(out / "main.txt", "windows\ndump\n" + ValueCommands(main) + "click frmMain.cmdOK\n");

    std::vector<std::string> openers;
    for (const auto& c : main.controls()) {
        if (c->kind() == ui::Kind::Button && c->name() != "cmdOK") openers.push_back(c->id());
    }
    for (const auto& opener : openers) {
        std::set<std::string> before;
        for (const ui::Form* form : app.Forms()) before.insert(form->name());
        const std::string open = "answer yes\nclick frmMain." + opener + "\n";
        driver.Execute("answer yes");
        driver.Execute("click frmMain." + opener);
        std::string commands = open + "windows\n";
        std::vector<std::string> opened;
        for (const ui::Form* form : app.Forms()) {
            if (before.count(form->name())) continue;
            opened.push_back(form->name());
            commands += "dump " + form->name() + "\n" + ValueCommands(*form) + "answer yes\n" +
                        ButtonCommands(*form);
        }
        WriteFile(out / ("open_" + opener + ".txt"), commands + "windows\n");
        // Back to the main window alone for the next opener.
        for (auto it = opened.rbegin(); it != opened.rend(); ++it) {
            if (ui::Form* form = app.FindForm(*it)) form->RequestClose();
            app.Collect();
        }
    }
    WriteFile(out / "bad.txt",
              "click\nclick frmMain\nclick frmMain.nothing\nselect frmMain.SSTab1 99\n"
              "select frmMain.SSTab1 -2\nset frmMain.hsbPCM1 2147483648\nset frmMain.hsbPCM1 x\n"
              "dblclick frmMain.ListView1 0\ntype frmMain.txtOSName text\nanswer maybe\n"
              "close nowhere\ndump nowhere\nfrobnicate\n# comment\n\r\n");
}

// Unpadded, so that the driver fits the PE target's input limit.
void PeSeeds(const fs::path& out) {
    fs::create_directories(out);
    for (platform::SeedWindowsFile file : platform::SeedWindowsFiles()) {
        file.image.fileSize = 0;
        const auto bytes = platform::WritePeImage(file.image);
        Require(bytes.has_value(), "PE seed " + file.path);
        if (!bytes) continue;
        WriteFile(out / ("written_" + fs::path(file.path).filename().string()),
                  std::string(bytes->begin(), bytes->end()));
    }
}

// Hives: an installation's SYSTEM and SOFTWARE (each with its selector byte: 0 fuzzes SYSTEM,
// 1 SOFTWARE), an empty hive, and a SYSTEM whose last write was cut short with the log that
// completes it (selector 2, the hive's length, the hive, the log).
void HiveSeeds(const fs::path& out) {
    fs::create_directories(out);
    const fs::path windows = out / "installation";
    const std::string error = testing_support::MakeXpInstallation(
        windows.string(), std::string(CALVENOR_SOURCE_DIR) + "/data/seed.reg");
    Require(error.empty(), "hive seeds: " + error);
    const fs::path config = windows / "system32" / "config";
    WriteFile(out / "system.hive", std::string(1, '\0') + ReadFile((config / "SYSTEM").string()));
    WriteFile(out / "software.hive",
              std::string(1, '\1') + ReadFile((config / "SOFTWARE").string()));
    WriteFile(out / "empty.hive", std::string(1, '\0') + platform::hive::MakeEmptyHive("ROOT"));
    // Its first sequence number one past its log's, as Windows XP leaves a write cut short.
    std::string dirty = ReadFile((config / "SYSTEM").string());
    auto* base = reinterpret_cast<std::uint8_t*>(dirty.data());
    namespace hive = platform::hive;
    hive::PutLe32(base + hive::field::kSequence1, hive::Le32(base + hive::field::kSequence1) + 1);
    hive::SetHeaderChecksum(base);
    std::string length(4, '\0');
    hive::PutLe32(reinterpret_cast<std::uint8_t*>(length.data()),
                  static_cast<std::uint32_t>(dirty.size()));
    WriteFile(out / "system-cut-short.hive",
              std::string(1, '\2') + length + dirty + ReadFile((config / "SYSTEM.LOG").string()));
    fs::remove_all(windows);
    // Hives of both formats made by the engine with what the others lack: an index root of
    // leaves, names in UTF-16, big data.
    for (const std::uint32_t minor : {3u, 5u}) {
        const std::string empty = platform::hive::MakeEmptyHive("ROOT", minor);
        std::string problem;
        auto hive = platform::hive::Hive::Load(
            std::vector<std::uint8_t>(empty.begin(), empty.end()), &problem);
        Require(hive != nullptr, "hive seeds: " + problem);
        if (!hive) continue;
        const platform::hive::Cell many = hive->CreateKey(hive->root(), u"Many");
        for (int i = 0; i < 1200; ++i) {
            hive->CreateKey(many, u"k\u00E4\u03A9" + std::u16string(1, u'a' + i % 26) +
                                      std::u16string(1, u'a' + i / 26 % 26) +
                                      std::u16string(1, u'a' + i / 676));
        }
        const std::vector<std::uint8_t> big(20000, 0x5A);
        hive->SetValue(many, u"Big\u20AC", 3, big.data(), static_cast<std::uint32_t>(big.size()));
        hive->SetValue(many, u"", 4, big.data(), 4);
        const auto& bytes = hive->bytes();
        WriteFile(out / ("engine_1_" + std::to_string(minor) + ".hive"),
                  std::string(1, '\1') + std::string(bytes.begin(), bytes.end()));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds OUT\n");
        return 2;
    }
    const fs::path out = argv[1];
    const std::string seed = ReadFile(std::string(CALVENOR_SOURCE_DIR) + "/data/seed.reg");
    std::unique_ptr<platform::SqliteStore> machine;
    const std::string error = StoreSeeds(out / "store", seed, &machine);
    Require(error.empty(), "store seeds: " + error);
    if (machine) {
        RegeditSeeds(out / "regedit", *machine, seed);
        const fs::path scratch = fs::path(machine->path()).parent_path();
        machine.reset();
        fs::remove_all(scratch);
    }
    HeadlessSeeds(out / "headless");
    PeSeeds(out / "pe");
    HiveSeeds(out / "hive");
    return failures == 0 ? 0 : 1;
}
