// The Linux program: the control panel over an embedded store or a real XP installation's
// hives, in an FLTK window or headless.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "formats/regedit/regedit.h"
#include "gui/fltk/fltk_adapter.h"
#include "gui/headless/headless.h"
#include "main_window/frm_main.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/seed_windows_folder.h"
#include "registry/hive/hive_registry.h"
#include "registry/nt_version.h"
#include "registry/regedit_io.h"
#include "registry/sqlite/sqlite_store.h"
#include "settings/registry.h"
#include "settings/schema.h"
#include "version.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: calvenor [--store PATH | --windows DIR] [--windows-dir DIR] [--headless]\n"
    "       calvenor [--store PATH | --windows DIR] --import FILE\n"
    "       calvenor [--store PATH | --windows DIR] --export FILE [KEY]\n"
    "\n"
    "  --store PATH        use this store file (a missing file is created empty)\n"
    "  --windows DIR       use the registry of the Windows XP installation whose Windows\n"
    "                      folder is DIR (a mounted drive: DIR/system32/config/SYSTEM and\n"
    "                      SOFTWARE); its files' versions are read from DIR too. Without KEY,\n"
    "                      --export writes the card's keys (driver, WPCRSET, card software)\n"
    "  --import FILE       merge a regedit file (REGEDIT4 or 5.00) into the store, then exit,\n"
    "                      reading it as regedit reads it: an entry regedit skips (a malformed\n"
    "                      line, a key under another root and its values) is skipped and named on\n"
    "                      standard error with its line number and the reason, and the rest is\n"
    "                      imported (exit status 3). A file whose first line is no regedit header\n"
    "                      is refused untouched (exit status 1). When the store or the hives fail\n"
    "                      underneath (no space, an I/O error), nothing is imported and\n"
    "                      the reason is told (exit status 1)\n"
    "  --export FILE [KEY] write the store, or one key and its subkeys, as a REGEDIT4 file\n"
    "  --windows-dir DIR   the Windows folder whose files have their versions read\n"
    "  --headless          no window: read commands from standard input\n"
    "  --help, --version\n"
    "\n"
    "FILE \"-\" is standard input (--import) or standard output (--export). KEY is named as\n"
    "regedit names it, with or without brackets, the root in any letter case:\n"
    "  'HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\wdm_au8830'\n"
    "  '[HKLM\\SYSTEM\\CurrentControlSet\\Services\\wdm_au8830]'\n"
    "  'SYSTEM\\CurrentControlSet\\Services\\wdm_au8830'   (under HKEY_LOCAL_MACHINE)\n"
    "Only keys under HKEY_LOCAL_MACHINE are kept; an import skips keys under other roots,\n"
    "and (--windows) never deletes a key Windows needs to start: the control sets and\n"
    "what is directly in them, Select, or a hive's top-level keys.\n"
    "\n"
    "Exit status: 0 done; 1 failed (nothing imported); 2 bad options;\n"
    "3 imported, but the file had entries that were skipped (told on standard error);\n"
    "4 failed, and the installation's hives could not be put back as they were: they hold\n"
    "all of the import or none of it, as their next open finds (told on standard error).\n";

// The exit status of an import that skipped part of its file.
constexpr int kImportSkipped = 3;
// The exit status of an import into hives that could be neither written nor put back.
constexpr int kImportInDoubt = 4;

struct Options {
    std::string store;
    std::string windows;
    std::string windowsDir;
    bool exportKeyGiven = false;
    std::string importFile;
    std::string exportFile;
    std::string exportKey;
    bool headless = false;
};

int Fail(const std::string& message, int code) {
    std::cerr << "calvenor: " << message << "\n";
    return code;
}

// Returns 0 to go on, or the exit code.
int Parse(int argc, char** argv, Options& options) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size() || args[i + 1].empty()) return false;
            into = args[++i];
            return true;
        };
        if (arg == "--help") {
            std::cout << kUsage;
            return -1;
        } else if (arg == "--version") {
            std::cout << "calvenor " CALVENOR_VERSION "\n";
            return -1;
        } else if (arg == "--headless") {
            options.headless = true;
        } else if (arg == "--store" || arg == "--windows" || arg == "--windows-dir" ||
                   arg == "--import") {
            std::string& into = arg == "--store"         ? options.store
                                : arg == "--windows"     ? options.windows
                                : arg == "--windows-dir" ? options.windowsDir
                                                         : options.importFile;
            if (!value(into)) return Fail(arg + " needs a value (see --help)", 2);
        } else if (arg == "--export") {
            if (!value(options.exportFile)) return Fail("--export needs a file (see --help)", 2);
            if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
                options.exportKeyGiven = true;
                const std::string error =
                    platform::regedit::ParseKeyName(args[++i], &options.exportKey);
                if (!error.empty()) return Fail(error + " (see --help)", 2);
            }
        } else {
            return Fail("unknown option \"" + arg + "\" (see --help)", 2);
        }
    }
    if (!options.importFile.empty() && !options.exportFile.empty()) {
        return Fail("--import and --export cannot be used together", 2);
    }
    if (!options.windows.empty() && !options.store.empty()) {
        return Fail("--store and --windows cannot be used together", 2);
    }
    if (!options.windows.empty() && !options.windowsDir.empty()) {
        return Fail("--windows reads the file versions from its own folder: drop --windows-dir", 2);
    }
    return 0;
}

std::string ProgramFolder() {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : self.parent_path().string();
}

// The seed machine: where an installation puts it (share/calvenor beside the program's bin
// folder, whatever the prefix), else in the source tree of a build folder.
std::string SeedFile() {
    const fs::path folder = ProgramFolder();
    for (const fs::path& seed :
         {folder / ".." / "share" / "calvenor" / "seed.reg", folder / ".." / "data" / "seed.reg"}) {
        if (fs::exists(seed)) return seed.string();
    }
    return std::string(CALVENOR_SOURCE_DIR) + "/data/seed.reg";
}

// The default store; created from the seed machine when it does not exist yet. The seeding
// goes to a side file renamed into place, so a killed first start never leaves half a machine.
int DefaultStore(std::string& path) {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    fs::path folder;
    if (xdg != nullptr && *xdg == '/') {
        folder = fs::path(xdg) / "calvenor";
    } else if (home != nullptr && *home != '\0') {
        folder = fs::path(home) / ".local" / "share" / "calvenor";
    } else {
        return Fail("cannot find a home for the default store: set HOME or use --store", 1);
    }
    path = (folder / "machine.db").string();
    if (fs::exists(path)) return 0;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) return Fail("cannot create \"" + folder.string() + "\": " + error.message(), 1);
    const std::string fresh = path + ".new";
    fs::remove(fresh, error);
    std::string problem;
    {
        auto store = platform::SqliteStore::Open(fresh, &problem);
        if (!store) return Fail(problem, 1);
        problem = platform::ImportRegFile(*store, SeedFile(), nullptr);
    }
    if (!problem.empty()) {
        fs::remove(fresh, error);
        return Fail("cannot seed the default store: " + problem, 1);
    }
    fs::rename(fresh, path, error);
    if (error) return Fail("cannot create \"" + path + "\": " + error.message(), 1);
    return 0;
}

// The default store's Windows folder, beside it: the seed machine's driver and A3D files,
// made when missing. Without it the panel runs on, finding no files.
std::string DefaultWindowsFolder(const std::string& storePath) {
    const std::string folder = (fs::path(storePath).parent_path() / "windows").string();
    const std::string problem = platform::EnsureSeedWindowsFolder(folder);
    if (problem.empty()) return folder;
    Fail("no Windows folder for the default store: " + problem, 0);
    return "";
}

// The card's own keys in an installation: the driver's and WPCRSET's service keys and the
// card software's key.
std::vector<std::string> CardKeys() {
    const auto parent = [](std::string path) { return path.substr(0, path.rfind('\\')); };
    return {parent(schema::kControlPanel), schema::kWpcrsetService, parent(schema::kA3D)};
}

// --import: a file, or standard input for "-". Skipped entries are told, and a file that had
// anything skipped ends with its own status, so that a script sees it.
int Import(platform::RegistryTree& tree, const std::string& file) {
    // The reason the registry gives when it fails underneath, for the message.
    std::string underneath;
    tree.OnWriteFailure([&underneath](const std::string& reason) { underneath = reason; });
    std::vector<std::string> skipped;
    std::string error;
    std::string source = file;
    if (file == "-") {
        source = "standard input";
        std::string bytes((std::istreambuf_iterator<char>(std::cin)), {});
        error = std::cin.bad() ? "cannot read standard input"
                               : platform::ImportRegText(tree, bytes, source, &skipped);
    } else {
        error = platform::ImportRegFile(tree, file, &skipped);
    }
    if (!error.empty()) {
        if (!underneath.empty()) error += " (" + underneath + ")";
        return Fail(error + "; nothing was imported", 1);
    }
    for (const auto& entry : skipped) std::cerr << "calvenor: " << entry << "\n";
    if (skipped.empty()) return 0;
    return Fail(source + ": " + std::to_string(skipped.size()) +
                    (skipped.size() == 1 ? " entry was" : " entries were") +
                    " skipped (above); the rest was imported",
                kImportSkipped);
}

// --export: a file, or standard output for "-".
// keys: the keys to write, each with its subkeys; {""} is everything.
int Export(platform::RegistryTree& tree, const std::string& file,
           const std::vector<std::string>& keys) {
    std::string text;
    const auto encoding = platform::regedit::Encoding::Regedit4;
    std::string error = keys.size() == 1 ? platform::ExportRegText(tree, keys[0], encoding, &text)
                                         : platform::ExportRegText(tree, keys, encoding, &text);
    if (!error.empty()) return Fail(error, 1);
    if (file != "-") {
        error = platform::WriteRegFile(file, text);
        return error.empty() ? 0 : Fail(error, 1);
    }
    // A reader that stops early (| head) is no failure of ours.
    std::signal(SIGPIPE, SIG_IGN);
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EPIPE) return 0;
        if (n <= 0)
            return Fail(std::string("cannot write standard output: ") + std::strerror(errno), 1);
        written += static_cast<std::size_t>(n);
    }
    return 0;
}

// The registry the program works on: the store, or an installation's hives. The path comes
// before the tree, whose write-failure calls name it, so that it outlives the tree.
struct Opened {
    std::string path;  // as messages name it
    std::unique_ptr<platform::RegistryTree> tree;
    std::vector<std::string> exportKeys;
    platform::HiveRegistry* installation = nullptr;  // the hives, when those are open
    std::string notices;  // what opening the hives found and did, for the window
};

// Opens the store or the installation's hives: 0, or the exit status of a failure (told).
int OpenRegistry(Options& options, Opened* opened) {
    opened->path = options.store;
    std::string error;
    opened->exportKeys = {options.exportKey};
    if (!options.windows.empty()) {
        // An export only reads: the hives may then be on a read-only mount.
        const auto access = options.exportFile.empty() ? platform::HiveRegistry::Access::ReadWrite
                                                       : platform::HiveRegistry::Access::ReadOnly;
        auto hives = platform::HiveRegistry::Open(options.windows, access, &error);
        if (!hives) return Fail(error, 1);
        // What opening found and did (a write completed from its log, another control set
        // booted) is said first, and shown in the window.
        for (const auto& notice : hives->notices()) {
            Fail(notice, 0);
            opened->notices += (opened->notices.empty() ? "" : "\n\n") + notice;
        }
        opened->installation = hives.get();
        opened->path = options.windows;
        options.windowsDir = options.windows;
        if (!options.exportKeyGiven) opened->exportKeys = CardKeys();
        opened->tree = std::move(hives);
    } else {
        if (opened->path.empty()) {
            if (const int code = DefaultStore(opened->path); code != 0) return code;
        }
        opened->tree = platform::SqliteStore::Open(opened->path, &error);
        if (!opened->tree) return Fail(error, 1);
    }
    return 0;
}

// What failed when a setting could not be saved, naming where it was to go.
std::string SaveTo(const std::string& path, const std::string& reason) {
    return "save settings to \"" + path + "\": " + reason;
}

// The panel driven by commands on standard input, answering on standard output.
int RunHeadless(settings::Registry& registry, platform::PosixPlatform& machine, Opened& opened) {
    opened.tree->OnWriteFailure([&path = opened.path](const std::string& reason) {
        Fail("cannot " + SaveTo(path, reason), 0);
    });
    gui::HeadlessPrompter prompter(std::cout);
    ui::App app(registry, machine, prompter);
    gui::Headless driver(app, prompter, std::cout);
    app.Open<main_window::FrmMain>().Show();
    app.Collect();
    return driver.Run(std::cin);
}

// The panel in its window; a failed save is told there as well as on standard error.
int RunWindow(settings::Registry& registry, platform::PosixPlatform& machine, Opened& opened) {
    if (!gui::HasDisplay()) {
        return Fail(std::string("no display to open the window on (set ") +
                        gui::DisplayVariables() + ", or use --headless)",
                    1);
    }
    gui::FltkPrompter prompter;
    opened.tree->OnWriteFailure([&path = opened.path, &prompter](const std::string& reason) {
        Fail("cannot " + SaveTo(path, reason), 0);
        prompter.Show({ui::kAppTitle,
                       "Cannot " + SaveTo(path, reason) + ".\n\nChanges made now will not be kept.",
                       ui::Icon::Critical});
    });
    ui::App app(registry, machine, prompter);
    gui::FltkAdapter adapter(app);
    app.Open<main_window::FrmMain>().Show();
    app.Collect();
    if (!opened.notices.empty()) {
        prompter.Show({ui::kAppTitle, opened.notices, ui::Icon::Information});
    }
    return adapter.Run();
}

// The panel over the registry opened, headless or in a window.
int RunPanel(const Options& options, Opened& opened) {
    std::string windowsDir = options.windowsDir;
    if (windowsDir.empty() && options.store.empty()) windowsDir = DefaultWindowsFolder(opened.path);
    platform::PosixPlatform machine(platform::NtVersionQuery(*opened.tree), windowsDir,
                                    ProgramFolder());
    settings::Registry registry(*opened.tree);
    // The panel writes each setting as it changes and the layer reports nothing, so a registry
    // that cannot be written must be told here, or the user's changes vanish unseen.
    if (opened.tree->read_only()) {
        std::cerr << "calvenor: \"" << opened.path
                  << "\" is read-only: changes will not be saved\n";
    }
    if (options.headless) return RunHeadless(registry, machine, opened);
    return RunWindow(registry, machine, opened);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int code = Parse(argc, argv, options); code != 0) return code < 0 ? 0 : code;

    Opened opened;
    if (const int code = OpenRegistry(options, &opened); code != 0) return code;

    if (!options.importFile.empty()) {
        // A failure underneath is told with its reason; the import's message refers to it.
        opened.tree->OnWriteFailure([&](const std::string& reason) {
            Fail("cannot save settings to \"" + opened.path + "\": " + reason, 0);
        });
        const int code = Import(*opened.tree, options.importFile);
        return opened.installation && opened.installation->in_doubt() ? kImportInDoubt : code;
    }
    if (!options.exportFile.empty())
        return Export(*opened.tree, options.exportFile, opened.exportKeys);
    return RunPanel(options, opened);
}
