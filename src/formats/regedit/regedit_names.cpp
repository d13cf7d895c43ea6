#include <string>

#include "formats/regedit/regedit.h"
#include "formats/regedit/regedit_format.h"
#include "text/ascii.h"

namespace platform::regedit {

namespace format {

Root RootOf(std::string_view name) {
    if (ascii::EqualNoCase(name, kRoot)) return Root::LocalMachine;
    if (ascii::EqualNoCase(name, "HKLM")) return Root::ShortName;
    static const char* const kOtherRoots[] = {
        "HKEY_CLASSES_ROOT", "HKCR", "HKEY_CURRENT_USER",     "HKCU",
        "HKEY_USERS",        "HKU",  "HKEY_CURRENT_CONFIG",   "HKCC",
        "HKEY_DYN_DATA",     "HKDD", "HKEY_PERFORMANCE_DATA",
    };
    for (const char* other : kOtherRoots) {
        if (ascii::EqualNoCase(name, other)) return Root::Other;
    }
    return Root::Unknown;
}

}  // namespace format

namespace {

// "" when every name between backslashes of a key path is there and holds no NUL.
std::string CheckNames(std::string_view path) {
    if (path.find('\0') != std::string_view::npos) return "NUL character in key path";
    if (path.empty()) return "";
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find('\\', start);
        const std::size_t length = (end == std::string_view::npos ? path.size() : end) - start;
        if (length == 0) return "empty name in key path";
        if (end == std::string_view::npos) return "";
        start = end + 1;
    }
}

}  // namespace

std::string ParseKeyName(std::string_view name, std::string* path) {
    using format::Root;
    const std::string given(name);
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
    }
    const std::size_t slash = name.find('\\');
    const std::string_view first = name.substr(0, slash);
    std::string_view rest = name;
    switch (format::RootOf(first)) {
        case Root::LocalMachine:
        case Root::ShortName:
            rest = slash == std::string_view::npos ? std::string_view() : name.substr(slash + 1);
            break;
        case Root::Other:
            return "key \"" + given + "\" is not under " + std::string(format::kRoot) +
                   ", the only root kept here (HKLM)";
        case Root::Unknown:
            if (ascii::StartsWithNoCase(first, "HKEY_")) {
                return "key \"" + given + "\": unknown root key \"" + std::string(first) + "\"";
            }
            break;  // a bare path under HKEY_LOCAL_MACHINE
    }
    // One trailing backslash is allowed, as the registry functions allow it.
    if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
    if (const std::string error = CheckNames(rest); !error.empty()) {
        return "key \"" + given + "\": " + error;
    }
    path->assign(rest);
    return "";
}

}  // namespace platform::regedit
