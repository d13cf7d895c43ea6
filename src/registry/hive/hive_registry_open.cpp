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

void HiveRegistry::CheckBootedSet() {
    const hive::Hive& system = *files_[kSystem]->hive();
    const hive::Cell value = system.FindValue(KeyAt(system, u"Select"), u"Default");
    if (value == hive::kNil || system.ValueType(value) != 4) return;
    const std::vector<std::uint8_t> data = system.ValueData(value);
    if (data.size() != 4) return;
    const auto number = static_cast<std::int32_t>(data[0] | (data[1] << 8) | (data[2] << 16) |
                                                  (static_cast<std::uint32_t>(data[3]) << 24));
    char name[16];
    std::snprintf(name, sizeof name, "ControlSet%03d", static_cast<int>(number));
    if (number < 1 || number > 999 || controlSet_ == name) return;
    notices_.push_back(Quoted(system_path()) + ": Windows boots the control set " +
                       "Select\\Default names, " + name + ", but CurrentControlSet here is " +
                       controlSet_ + " (Select\\Current): a setting changed here may not be the " +
                       "one Windows uses");
}

std::string HiveRegistry::FindHives(const std::string& windowsFolder, Place* place) {
    std::string& folder = place->folder;
    folder = windowsFolder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return "cannot open the Windows folder " + Quoted(windowsFolder) + ": " +
               (errno ? std::strerror(errno) : "not a folder");
    }
    const std::string system32 = FindEntryNoCase(folder, "system32");
    const std::string config =
        system32.empty() ? "" : FindEntryNoCase(folder + "/" + system32, "config");
    if (config.empty()) {
        return Quoted(folder) +
               " has no system32/config folder: give the Windows folder of an XP "
               "installation (such as /mnt/xp/WINDOWS)";
    }
    place->configFolder = folder + "/" + system32 + "/" + config;
    const char* const kNames[2] = {"SYSTEM", "SOFTWARE"};
    for (int hive : {kSystem, kSoftware}) {
        const std::string entry = FindEntryNoCase(place->configFolder, kNames[hive]);
        if (entry.empty()) {
            return "there is no " + std::string(kNames[hive]) + " hive in " +
                   Quoted(place->configFolder) +
                   ": give the Windows folder of an XP installation (such as "
                   "/mnt/xp/WINDOWS)";
        }
        place->paths[hive] = place->configFolder + "/" + entry;
        place->entries[hive] = entry;
    }
    return "";
}

std::string HiveRegistry::Lock(const Place& place) {
    // Another calvenor on these hives would write over this one's changes, and this one over
    // its: the folder is locked while the hives are open (shared by readers).
    lock_ = ::open(place.configFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock_ < 0) return "cannot open " + Quoted(place.configFolder) + ": " + std::strerror(errno);
    if (::flock(lock_, (readOnly_ ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            return Quoted(place.paths[kSystem]) +
                   " is in use by another calvenor (its hives are locked while it runs): "
                   "close that one first; nothing was changed";
        }
        return "cannot lock " + Quoted(place.configFolder) + ": " + std::strerror(errno);
    }
    return "";
}

std::string HiveRegistry::WriteProblem(const Place& place) {
    struct statvfs volume {};
    if (::statvfs(place.configFolder.c_str(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0) {
        return Quoted(place.paths[kSystem]) +
               " is on a file system mounted read-only: mount it read-write to change "
               "settings (mount -o remount,rw, or ntfs-3g without -o ro); --export "
               "reads it as it is";
    }
    for (const std::string& path :
         {place.configFolder, place.paths[kSystem], place.paths[kSoftware]}) {
        if (::access(path.c_str(), W_OK) != 0) {
            return Quoted(path) + " cannot be written (" + std::strerror(errno) +
                   "): run as a user who may change the installation, or mount it "
                   "read-write; --export reads it as it is";
        }
    }
    return HibernationProblem(place.folder);
}

std::string HiveRegistry::LoadHives(const Place& place) {
    std::string problem;
    journal_ =
        hive::Journal::Open(place.configFolder, {place.entries[kSystem], place.entries[kSoftware]},
                            !readOnly_, &problem);
    if (!journal_) return problem;
    for (int hive : {kSystem, kSoftware}) {
        const auto index = static_cast<std::size_t>(hive);
        files_[hive] = HiveFile::Load(place.paths[hive], journal_.get(), index,
                                      journal_->TakeImage(index), !readOnly_, &problem);
        if (!files_[hive]) return problem;
    }
    try {
        problem = CheckKinds(place.configFolder);
        if (problem.empty()) CheckBootedSet();
    } catch (const hive::Error& damaged) {
        problem = Quoted(place.configFolder) + ": a hive is damaged: " + damaged.what();
    }
    return problem;
}

std::unique_ptr<HiveRegistry> HiveRegistry::Open(const std::string& windowsFolder, Access access,
                                                 std::string* error) {
    const auto fail = [&](const std::string& message) {
        if (error) *error = message;
        return std::unique_ptr<HiveRegistry>();
    };
    Place place;
    if (const std::string problem = FindHives(windowsFolder, &place); !problem.empty()) {
        return fail(problem);
    }
    std::unique_ptr<HiveRegistry> registry(new HiveRegistry());
    registry->readOnly_ = access == Access::ReadOnly;
    if (const std::string problem = registry->Lock(place); !problem.empty()) return fail(problem);
    if (!registry->readOnly_) {
        if (const std::string problem = WriteProblem(place); !problem.empty()) {
            return fail(problem);
        }
    }
    if (const std::string problem = registry->LoadHives(place); !problem.empty()) {
        return fail(problem);
    }
    // Only now, every check passed, is anything written: what an interrupted write left is
    // completed, missing logs made, leftovers of older versions removed.
    const std::vector<std::string>& found = registry->journal_->notices();
    registry->notices_.insert(registry->notices_.begin(), found.begin(), found.end());
    if (!registry->readOnly_) {
        if (const std::string completed = registry->journal_->Complete(); !completed.empty()) {
            return fail(completed);
        }
        for (const std::string& path : place.paths) ::unlink(HiveFile::NewFileName(path).c_str());
    }
    return registry;
}

}  // namespace platform
