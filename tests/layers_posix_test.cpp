// The arrows between the folders of src/, read from the #include lines. The build already
// refuses an include of a layer the library cannot see; this also holds the finer rules inside
// a library: no secondary window includes the main window, a page or another window.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kSource = fs::path(CALVENOR_SOURCE_DIR) / "src";

// The folder a path under src/ belongs to: "gui/fltk" for the adapters, else the first part;
// "" for the entry points at the top.
std::string FolderOf(const std::string& path) {
    const auto slash = path.find('/');
    if (slash == std::string::npos) return "";
    const std::string first = path.substr(0, slash);
    if (first != "gui") return first;
    const auto second = path.find('/', slash + 1);
    return second == std::string::npos ? first : path.substr(0, second);
}

// What each folder may include besides itself: the layers below it. The entry points may
// include anything.
const std::map<std::string, std::set<std::string>>& Allowed() {
    static const std::set<std::string> kWindow = {"text", "platform", "settings", "ui"};
    static const std::map<std::string, std::set<std::string>> allowed = {
        {"text", {}},
        // regedit files are read straight into a registry until the import is split in two.
        {"formats", {"text", "registry"}},
        {"platform", {"text", "formats"}},
        {"registry", {"text", "formats", "platform"}},
        {"settings", {"text", "formats", "platform", "registry"}},
        {"ui", {"text", "formats", "platform", "registry", "settings"}},
        {"detect", kWindow},
        {"dialogs", kWindow},
        {"equalizer", kWindow},
        {"wpcrset", kWindow},
        {"reset", kWindow},
        {"pages", {"text", "platform", "settings", "ui", "detect"}},
        {"main_window",
         {"text", "platform", "settings", "ui", "pages", "detect", "dialogs", "equalizer",
          "wpcrset", "reset"}},
        {"gui/headless", {"text", "platform", "ui"}},
        {"gui/fltk", {"text", "platform", "ui"}},
        {"gui/win32", {"text", "platform", "ui"}},
    };
    return allowed;
}

struct Include {
    std::string file;    // the including file, relative to src/
    std::string target;  // the included path as written
};

// The path of a line #include "path", "" for any other line.
std::string QuotedInclude(std::string_view line) {
    auto skipBlanks = [&line] {
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
    };
    skipBlanks();
    if (line.empty() || line.front() != '#') return "";
    line.remove_prefix(1);
    skipBlanks();
    if (line.substr(0, 7) != "include") return "";
    line.remove_prefix(7);
    skipBlanks();
    if (line.empty() || line.front() != '"') return "";
    const std::size_t end = line.find('"', 1);
    return end == std::string_view::npos ? "" : std::string(line.substr(1, end - 1));
}

std::vector<Include> ProjectIncludes() {
    std::vector<Include> includes;
    for (const auto& entry : fs::recursive_directory_iterator(kSource)) {
        const auto extension = entry.path().extension();
        if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".h")) continue;
        std::ifstream in(entry.path());
        std::string line;
        while (std::getline(in, line)) {
            const std::string target = QuotedInclude(line);
            if (!target.empty()) {
                includes.push_back({fs::relative(entry.path(), kSource).generic_string(), target});
            }
        }
    }
    return includes;
}

TEST(Layers, EveryIncludeFollowsAnArrowOfTheDesign) {
    const auto includes = ProjectIncludes();
    ASSERT_GT(includes.size(), 100u) << "the sources were not found under " << kSource;
    std::set<std::string> folders;
    for (const Include& include : includes) {
        const std::string from = FolderOf(include.file);
        folders.insert(from);
        if (from.empty()) continue;  // an entry point
        const auto rule = Allowed().find(from);
        ASSERT_NE(rule, Allowed().end()) << "a folder with no place in the layers: " << from;
        const std::string to = FolderOf(include.target);
        EXPECT_TRUE(to == from || rule->second.count(to))
            << include.file << " includes " << include.target << ": " << from << " may not use "
            << to;
        // Pages use the detection logic, never its window.
        if (from == "pages" && to == "detect") {
            EXPECT_EQ(include.target.find("detect/frm_"), std::string::npos)
                << include.file << " includes the window " << include.target;
        }
    }
    // Each layer has files, so a rule above cannot pass for want of anything to check.
    for (const auto& [folder, allowed] : Allowed()) {
        if (folder == "gui/win32" || folder == "gui/fltk") continue;  // one per build
        EXPECT_TRUE(folders.count(folder)) << "no includes found in " << folder;
    }
}

}  // namespace
