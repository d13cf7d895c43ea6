// Opening an installation's hives: finding them, locking them against other calvenors, and
// every check that must pass before anything may be written.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/posix/posix_platform.h"
#include "registry/hive/hive_registry.h"

namespace platform {

namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// The key at a path of names under a hive's root; kNil when there is none.
hive::Cell KeyAt(const hive::Hive& hive, std::u16string_view path) {
    hive::Cell key = hive.root();
    while (key != hive::kNil && !path.empty()) {
        const std::size_t slash = path.find(u'\\');
        key = hive.FindSubkey(key, path.substr(0, slash));
        path = slash == std::u16string_view::npos ? u"" : path.substr(slash + 1);
    }
    return key;
}

bool HasChild(const hive::Hive& hive, std::u16string_view path) {
    return KeyAt(hive, path) != hive::kNil;
}

}  // namespace

std::string HiveRegistry::CheckKinds(const std::string& configFolder) {
    const std::string what = ": check the hives in " + Quoted(configFolder);
    const hive::Hive& system = *files_[kSystem]->hive();
    const hive::Hive& software = *files_[kSoftware]->hive();
    // Each hive has keys the other has not: SYSTEM its Select key, SOFTWARE Microsoft's.
    if (!HasChild(system, u"Select")) {
        return Quoted(system_path()) +
               (HasChild(system, u"Microsoft") ? " is a SOFTWARE hive, not the SYSTEM hive"
                                               : " is not a SYSTEM hive (it has no Select key)") +
               what;
    }
    if (HasChild(software, u"Select") || !HasChild(software, u"Microsoft")) {
        return Quoted(software_path()) +
               (HasChild(software, u"Select")
                    ? " is a SYSTEM hive, not the SOFTWARE hive"
                    : " is not a SOFTWARE hive (it has no Microsoft key)") +
               what;
    }
    // The control set Windows boots with, as it links CurrentControlSet.
    const hive::Cell current = system.FindValue(KeyAt(system, u"Select"), u"Current");
    const std::vector<std::uint8_t> data =
        current == hive::kNil ? std::vector<std::uint8_t>() : system.ValueData(current);
    if (current == hive::kNil || system.ValueType(current) != 4 || data.size() != 4) {
        return Quoted(system_path()) + " has no number Select\\Current for the control set" + what;
    }
    const auto number = static_cast<std::int32_t>(data[0] | (data[1] << 8) | (data[2] << 16) |
                                                  (static_cast<std::uint32_t>(data[3]) << 24));
    if (number < 1 || number > 999) {
        return Quoted(system_path()) + ": Select\\Current is " + std::to_string(number) +
               ", which names no control set" + what;
    }
    char name[16];
    std::snprintf(name, sizeof name, "ControlSet%03d", static_cast<int>(number));
    const std::string set = name;
    if (!HasChild(system, std::u16string(set.begin(), set.end()))) {
        return Quoted(system_path()) + ": Select\\Current names " + name +
               ", which the hive does not have" + what;
    }
    controlSet_ = name;
    return "";
}

std::unique_ptr<HiveRegistry> HiveRegistry::Open(const std::string& windowsFolder, Access access,
                                                 std::string* error) {
    const auto fail = [&](const std::string& message) {
        if (error) *error = message;
        return std::unique_ptr<HiveRegistry>();
    };
    std::string folder = windowsFolder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return fail("cannot open the Windows folder " + Quoted(windowsFolder) + ": " +
                    (errno ? std::strerror(errno) : "not a folder"));
    }
    const std::string system32 = FindEntryNoCase(folder, "system32");
    const std::string config =
        system32.empty() ? "" : FindEntryNoCase(folder + "/" + system32, "config");
    if (config.empty()) {
        return fail(Quoted(folder) +
                    " has no system32/config folder: give the Windows folder of an XP "
                    "installation (such as /mnt/xp/WINDOWS)");
    }
    const std::string configFolder = folder + "/" + system32 + "/" + config;
    std::string paths[2];
    const char* const kNames[2] = {"SYSTEM", "SOFTWARE"};
    for (int hive : {kSystem, kSoftware}) {
        const std::string entry = FindEntryNoCase(configFolder, kNames[hive]);
        if (entry.empty()) {
            return fail("there is no " + std::string(kNames[hive]) + " hive in " +
                        Quoted(configFolder) +
                        ": give the Windows folder of an XP installation (such as "
                        "/mnt/xp/WINDOWS)");
        }
        paths[hive] = configFolder + "/" + entry;
    }

    std::unique_ptr<HiveRegistry> registry(new HiveRegistry());
    registry->readOnly_ = access == Access::ReadOnly;
    // Another calvenor on these hives would write over this one's changes, and this one over
    // its: the folder is locked while the hives are open (shared by readers).
    registry->lock_ = ::open(configFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (registry->lock_ < 0) {
        return fail("cannot open " + Quoted(configFolder) + ": " + std::strerror(errno));
    }
    if (::flock(registry->lock_, (registry->readOnly_ ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            return fail(Quoted(paths[kSystem]) +
                        " is in use by another calvenor (its hives are locked while it runs): "
                        "close that one first; nothing was changed");
        }
        return fail("cannot lock " + Quoted(configFolder) + ": " + std::strerror(errno));
    }
    if (!registry->readOnly_) {
        struct statvfs volume {};
        if (::statvfs(configFolder.c_str(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0) {
            return fail(Quoted(paths[kSystem]) +
                        " is on a file system mounted read-only: mount it read-write to change "
                        "settings (mount -o remount,rw, or ntfs-3g without -o ro); --export "
                        "reads it as it is");
        }
        for (const std::string& path : {configFolder, paths[kSystem], paths[kSoftware]}) {
            if (::access(path.c_str(), W_OK) != 0) {
                return fail(Quoted(path) + " cannot be written (" + std::strerror(errno) +
                            "): run as a user who may change the installation, or mount it "
                            "read-write; --export reads it as it is");
            }
        }
    }
    for (int hive : {kSystem, kSoftware}) {
        std::string problem;
        registry->files_[hive] = HiveFile::Open(paths[hive], !registry->readOnly_, &problem);
        if (!registry->files_[hive]) return fail(problem);
    }
    std::string problem;
    try {
        problem = registry->CheckKinds(configFolder);
    } catch (const hive::Error& damaged) {
        problem = Quoted(configFolder) + ": a hive is damaged: " + damaged.what();
    }
    if (!problem.empty()) return fail(problem);
    for (const auto& file : registry->files_) file->RemoveLeftovers();
    return registry;
}

}  // namespace platform
