// Opening an installation's hives: finding them, locking them against other calvenors, and
// every check that must pass before anything may be written.
#include <fcntl.h>
#include <hivex.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/posix/posix_platform.h"
#include "registry/hive/hive_registry.h"
#include "text/ascii.h"

namespace platform {

namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// A hibernated Windows resumes from the memory it saved, its hives as they were then, and
// writes their changed bins over the files at its next flush: whatever was written here in the
// meantime is lost or, worse, mixed with them. hiberfil.sys at the volume's root begins with
// "hibr" while such an image waits to be resumed.
std::string HibernationProblem(const std::string& windowsFolder) {
    const std::size_t slash = windowsFolder.rfind('/');
    const std::string root = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : windowsFolder.substr(0, slash);
    const std::string entry = FindEntryNoCase(root, "hiberfil.sys");
    if (entry.empty()) return "";
    const std::string path = (root == "/" ? "" : root) + "/" + entry;
    const auto unknown = [&](const std::string& why) {
        return "cannot read " + Quoted(path) + " to tell whether that Windows is hibernated (" +
               why + "); nothing was changed";
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return unknown(std::strerror(errno));
    char head[4] = {};
    struct stat info {};
    std::string why;
    if (::fstat(fd, &info) != 0) {
        why = std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        why = "it is not a file";
    } else if (info.st_size >= 4 && ::pread(fd, head, sizeof head, 0) != 4) {
        why = std::strerror(errno);
    }
    ::close(fd);
    if (!why.empty()) return unknown(why);
    if (!ascii::EqualNoCase(std::string_view(head, sizeof head), "hibr")) return "";
    return Quoted(path) +
           " begins with \"hibr\": that Windows is hibernated, and when it resumes it writes "
           "the registry it kept in memory over any change made here. Start it, shut it down "
           "(not hibernate) and try again; nothing was changed";
}

bool HasChild(hive_h* hive, const char* path) {
    hive_node_h node = hivex_root(hive);
    std::string rest = path;
    while (node != 0 && !rest.empty()) {
        const std::size_t slash = rest.find('\\');
        node = hivex_node_get_child(hive, node, rest.substr(0, slash).c_str());
        rest = slash == std::string::npos ? "" : rest.substr(slash + 1);
    }
    return node != 0;
}

}  // namespace

std::string HiveRegistry::CheckKinds(const std::string& configFolder) {
    const std::string what = ": check the hives in " + Quoted(configFolder);
    hive_h* system = files_[kSystem]->handle();
    hive_h* software = files_[kSoftware]->handle();
    // Each hive has keys the other has not: SYSTEM its Select key, SOFTWARE Microsoft's.
    if (!HasChild(system, "Select")) {
        return Quoted(system_path()) +
               (HasChild(system, "Microsoft") ? " is a SOFTWARE hive, not the SYSTEM hive"
                                              : " is not a SYSTEM hive (it has no Select key)") +
               what;
    }
    if (HasChild(software, "Select") || !HasChild(software, "Microsoft")) {
        return Quoted(software_path()) +
               (HasChild(software, "Select")
                    ? " is a SYSTEM hive, not the SOFTWARE hive"
                    : " is not a SOFTWARE hive (it has no Microsoft key)") +
               what;
    }
    // The control set Windows boots with, as it links CurrentControlSet.
    const hive_node_h select = hivex_node_get_child(system, hivex_root(system), "Select");
    const hive_value_h current = hivex_node_get_value(system, select, "Current");
    std::uint32_t type = 0;  // the enum may be given any number a hive holds
    std::size_t length = 0;
    if (current == 0 ||
        hivex_value_type(system, current, reinterpret_cast<hive_type*>(&type), &length) != 0 ||
        type != 4 || length != 4) {
        return Quoted(system_path()) + " has no number Select\\Current for the control set" + what;
    }
    const std::int32_t number = hivex_value_dword(system, current);
    if (number < 1 || number > 999) {
        return Quoted(system_path()) + ": Select\\Current is " + std::to_string(number) +
               ", which names no control set" + what;
    }
    char name[16];
    std::snprintf(name, sizeof name, "ControlSet%03d", static_cast<int>(number));
    if (hivex_node_get_child(system, hivex_root(system), name) == 0) {
        return Quoted(system_path()) + ": Select\\Current names " + name +
               ", which the hive does not have" + what;
    }
    controlSet_ = name;
    return "";
}

void HiveRegistry::CheckBootedSet() {
    hive_h* system = files_[kSystem]->handle();
    const hive_node_h select = hivex_node_get_child(system, hivex_root(system), "Select");
    const hive_value_h value = hivex_node_get_value(system, select, "Default");
    std::uint32_t type = 0;
    std::size_t length = 0;
    if (value == 0 ||
        hivex_value_type(system, value, reinterpret_cast<hive_type*>(&type), &length) != 0 ||
        type != 4 || length != 4) {
        return;
    }
    const std::int32_t number = hivex_value_dword(system, value);
    char name[16];
    std::snprintf(name, sizeof name, "ControlSet%03d", static_cast<int>(number));
    if (number < 1 || number > 999 || controlSet_ == name) return;
    notices_.push_back(Quoted(system_path()) + ": Windows boots the control set " +
                       "Select\\Default names, " + name + ", but CurrentControlSet here is " +
                       controlSet_ + " (Select\\Current): a setting changed here may not be the " +
                       "one Windows uses");
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
    std::string entries[2];
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
        entries[hive] = entry;
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
        if (const std::string problem = HibernationProblem(folder); !problem.empty()) {
            return fail(problem);
        }
    }
    std::string problem;
    registry->journal_ = hive::Journal::Open(configFolder, {entries[kSystem], entries[kSoftware]},
                                             !registry->readOnly_, &problem);
    if (!registry->journal_) return fail(problem);
    for (int hive : {kSystem, kSoftware}) {
        registry->files_[hive] = HiveFile::Load(
            paths[hive], registry->journal_->TakeImage(static_cast<std::size_t>(hive)),
            !registry->readOnly_, &problem);
        if (!registry->files_[hive]) return fail(problem);
    }
    if (const std::string kinds = registry->CheckKinds(configFolder); !kinds.empty()) {
        return fail(kinds);
    }
    // Only now, every check passed, is anything written: what an interrupted write left is
    // completed, missing logs made, leftovers of older versions removed.
    registry->notices_ = registry->journal_->notices();
    if (!registry->readOnly_) {
        if (const std::string completed = registry->journal_->Complete(); !completed.empty()) {
            return fail(completed);
        }
        for (const std::string& path : paths) ::unlink(HiveFile::NewFileName(path).c_str());
    }
    registry->CheckBootedSet();
    return registry;
}

}  // namespace platform
