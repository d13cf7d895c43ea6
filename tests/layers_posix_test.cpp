// The arrows between the folders of src/, read from the #include lines and from the classes
// one folder declares of another's. The build already refuses an include of a layer the
// library cannot see; this holds each folder to the layers it really uses, and the finer rules
// inside a library: no secondary window includes the main window, a page or another window.
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

// The arrows: the folders each folder uses besides itself, every one of them and no more (an
// arrow no file follows fails too, so this stays the true picture of the layout that the README
// shows). The entry points may include anything.
const std::map<std::string, std::set<std::string>>& Arrows() {
    static const std::set<std::string> kWindow = {"settings", "ui"};
    static const std::map<std::string, std::set<std::string>> arrows = {
        {"text", {}},
        {"formats", {"text"}},
        {"platform", {"text", "formats"}},
        {"registry", {"text", "formats", "platform"}},
        {"settings", {"text", "registry"}},
        // The App holds the settings registry and the machine, declared, not included.
        {"ui", {"text", "platform", "settings"}},
        {"detect", {"platform", "ui"}},
        {"dialogs", kWindow},
        {"equalizer", kWindow},
        {"wpcrset", kWindow},
        {"reset", kWindow},
        {"pages", {"settings", "ui", "detect"}},
        {"main_window", {"ui", "pages", "detect", "dialogs", "equalizer", "wpcrset", "reset"}},
        {"gui/headless", {"text", "ui"}},
        {"gui/fltk", {"text", "ui"}},
        {"gui/win32", {"platform", "ui"}},
    };
    return arrows;
}

struct Include {
    std::string file;    // the including file, relative to src/
    std::string target;  // the included path as written, or the folder a declaration names
};

std::string SkipBlanks(std::string_view line) {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    return std::string(line);
}

// The path of a line #include "path", "" for any other line.
std::string QuotedInclude(std::string_view text) {
    std::string line = SkipBlanks(text);
    if (line.empty() || line.front() != '#') return "";
    line = SkipBlanks(std::string_view(line).substr(1));
    if (line.compare(0, 7, "include") != 0) return "";
    line = SkipBlanks(std::string_view(line).substr(7));
    if (line.empty() || line.front() != '"') return "";
    const std::size_t end = line.find('"', 1);
    return end == std::string::npos ? "" : line.substr(1, end - 1);
}

// The namespace a line "namespace name {" opens when the next line only declares a class of
// it (namespace settings { class Registry; }): a use of the folder of that name without an
// include. "" for any other pair of lines.
std::string DeclaredNamespace(const std::string& line, const std::string& next) {
    constexpr std::string_view kOpen = "namespace ";
    if (line.compare(0, kOpen.size(), kOpen) != 0 || line.back() != '{') return "";
    const std::string name = line.substr(kOpen.size(), line.size() - kOpen.size() - 2);
    const std::string declared = SkipBlanks(next);
    const bool declaration =
        (declared.compare(0, 6, "class ") == 0 || declared.compare(0, 7, "struct ") == 0) &&
        declared.back() == ';' && declared.find('{') == std::string::npos;
    return declaration ? name : "";
}

std::vector<Include> ProjectIncludes() {
    std::vector<Include> includes;
    for (const auto& entry : fs::recursive_directory_iterator(kSource)) {
        const auto extension = entry.path().extension();
        if (!entry.is_regular_file() || (extension != ".cpp" && extension != ".h")) continue;
        const std::string file = fs::relative(entry.path(), kSource).generic_string();
        std::ifstream in(entry.path());
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (const std::string target = QuotedInclude(lines[i]); !target.empty()) {
                includes.push_back({file, target});
            }
            if (i + 1 == lines.size()) continue;
            const std::string name = DeclaredNamespace(lines[i], lines[i + 1]);
            if (Arrows().count(name)) includes.push_back({file, name + "/"});
        }
    }
    return includes;
}

TEST(Layers, EveryIncludeFollowsAnArrowAndEveryArrowIsFollowed) {
    const auto includes = ProjectIncludes();
    ASSERT_GT(includes.size(), 100u) << "the sources were not found under " << kSource;
    std::set<std::string> folders;
    std::set<std::pair<std::string, std::string>> followed;
    for (const Include& include : includes) {
        const std::string from = FolderOf(include.file);
        folders.insert(from);
        if (from.empty()) continue;  // an entry point
        const auto arrows = Arrows().find(from);
        ASSERT_NE(arrows, Arrows().end()) << "a folder with no place in the layers: " << from;
        const std::string to = FolderOf(include.target);
        if (to == from) continue;
        followed.insert({from, to});
        EXPECT_TRUE(arrows->second.count(to)) << include.file << " uses " << include.target
                                              << ": no arrow from " << from << " to " << to;
        // Pages use the detection logic, never its window.
        if (from == "pages" && to == "detect") {
            EXPECT_EQ(include.target.find("detect/frm_"), std::string::npos)
                << include.file << " includes the window " << include.target;
        }
    }
    for (const auto& [from, arrows] : Arrows()) {
        EXPECT_TRUE(folders.count(from)) << "no files found in " << from;
        for (const std::string& to : arrows) {
            EXPECT_TRUE(followed.count({from, to}))
                << "the arrow from " << from << " to " << to << " is followed by no file";
        }
    }
}

}  // namespace
