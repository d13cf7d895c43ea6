#include "powercut_vfs.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace faults {

namespace {

constexpr std::int64_t kSector = 512;

struct Change {
    bool truncate = false;    // else a write
    std::int64_t offset = 0;  // a truncate's new size
    std::vector<std::uint8_t> data;
};

// SQLite allocates szOsFile bytes for this; the real file's structure follows it.
struct CutFile {
    sqlite3_file base;
    sqlite3_file* real;
    bool tracked;
    int logFd;
    sqlite3_int64 size;  // as the process sees it, pending changes included
    std::vector<Change>* pending;
};

constexpr std::size_t kRealOffset = (sizeof(CutFile) + 15) / 16 * 16;

sqlite3_vfs gVfs;
sqlite3_vfs* gReal = nullptr;
std::string gLogDir;
long gCutAt = 0;
bool gLyingDisk = false;
long gOperations = 0;

// Counts a change to a covered file; the power fails at the chosen one.
void Operation() {
    if (++gOperations == gCutAt) ::raise(SIGKILL);
}

sqlite3_vfs* Real() {
    return gReal;
}

CutFile* Cast(sqlite3_file* file) {
    return reinterpret_cast<CutFile*>(file);
}

void WriteAll(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ::_exit(90);  // a lost side log would make the whole run meaningless
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
}

// One record: kind 'W' or 'T', the offset (or new size), the length and the bytes.
void LogChange(CutFile* file, const Change& change) {
    const std::int64_t offset = change.offset;
    const auto length = static_cast<std::uint32_t>(change.data.size());
    std::string record(1, change.truncate ? 'T' : 'W');
    record.append(reinterpret_cast<const char*>(&offset), sizeof offset);
    record.append(reinterpret_cast<const char*>(&length), sizeof length);
    record.append(change.data.begin(), change.data.end());
    WriteAll(file->logFd, record.data(), record.size());
}

int Close(sqlite3_file* f) {
    CutFile* file = Cast(f);
    const int rc = file->real->pMethods->xClose(file->real);
    if (file->logFd >= 0) ::close(file->logFd);
    delete file->pending;
    file->pending = nullptr;
    return rc;
}

int Read(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
    CutFile* file = Cast(f);
    int rc = file->real->pMethods->xRead(file->real, buffer, amount, offset);
    if (!file->tracked) return rc;
    if (rc != SQLITE_OK && rc != SQLITE_IOERR_SHORT_READ) return rc;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    const std::int64_t end = offset + amount;
    for (const Change& change : *file->pending) {
        if (change.truncate) {
            const std::int64_t from = std::max<std::int64_t>(change.offset, offset);
            if (from < end) std::memset(bytes + (from - offset), 0, end - from);
            continue;
        }
        const std::int64_t from = std::max<std::int64_t>(change.offset, offset);
        const std::int64_t to = std::min<std::int64_t>(
            change.offset + static_cast<std::int64_t>(change.data.size()), end);
        if (from < to) {
            std::memcpy(bytes + (from - offset), change.data.data() + (from - change.offset),
                        static_cast<std::size_t>(to - from));
        }
    }
    if (end > file->size) {
        const std::int64_t from = std::max<std::int64_t>(file->size, offset);
        std::memset(bytes + (from - offset), 0, end - from);
        return SQLITE_IOERR_SHORT_READ;
    }
    return SQLITE_OK;
}

int Write(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
    CutFile* file = Cast(f);
    if (!file->tracked) return file->real->pMethods->xWrite(file->real, buffer, amount, offset);
    Operation();
    Change change;
    change.offset = offset;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    change.data.assign(bytes, bytes + amount);
    LogChange(file, change);
    file->pending->push_back(std::move(change));
    file->size = std::max<std::int64_t>(file->size, offset + amount);
    return SQLITE_OK;
}

int Truncate(sqlite3_file* f, sqlite3_int64 size) {
    CutFile* file = Cast(f);
    if (!file->tracked) return file->real->pMethods->xTruncate(file->real, size);
    Operation();
    Change change;
    change.truncate = true;
    change.offset = size;
    LogChange(file, change);
    file->pending->push_back(std::move(change));
    file->size = size;
    return SQLITE_OK;
}

// The only way pending changes reach the real file: in order, then the real sync. The side
// log is emptied only once the real sync has returned.
int Sync(sqlite3_file* f, int flags) {
    CutFile* file = Cast(f);
    if (file->tracked) {
        Operation();
        if (gLyingDisk) return SQLITE_OK;
        for (const Change& change : *file->pending) {
            const int rc = change.truncate
                               ? file->real->pMethods->xTruncate(file->real, change.offset)
                               : file->real->pMethods->xWrite(file->real, change.data.data(),
                                                              static_cast<int>(change.data.size()),
                                                              change.offset);
            if (rc != SQLITE_OK) return rc;
        }
    }
    const int rc = file->real->pMethods->xSync(file->real, flags);
    if (rc == SQLITE_OK && file->tracked) {
        file->pending->clear();
        if (::ftruncate(file->logFd, 0) != 0) ::_exit(91);
    }
    return rc;
}

int FileSize(sqlite3_file* f, sqlite3_int64* size) {
    CutFile* file = Cast(f);
    if (!file->tracked) return file->real->pMethods->xFileSize(file->real, size);
    *size = file->size;
    return SQLITE_OK;
}

int Lock(sqlite3_file* f, int level) {
    return Cast(f)->real->pMethods->xLock(Cast(f)->real, level);
}
int Unlock(sqlite3_file* f, int level) {
    return Cast(f)->real->pMethods->xUnlock(Cast(f)->real, level);
}
int CheckReservedLock(sqlite3_file* f, int* out) {
    return Cast(f)->real->pMethods->xCheckReservedLock(Cast(f)->real, out);
}
int FileControl(sqlite3_file* f, int op, void* arg) {
    return Cast(f)->real->pMethods->xFileControl(Cast(f)->real, op, arg);
}
int SectorSize(sqlite3_file* f) {
    return Cast(f)->real->pMethods->xSectorSize(Cast(f)->real);
}
int DeviceCharacteristics(sqlite3_file* f) {
    return Cast(f)->real->pMethods->xDeviceCharacteristics(Cast(f)->real);
}
int ShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out) {
    return Cast(f)->real->pMethods->xShmMap(Cast(f)->real, page, size, extend, out);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return Cast(f)->real->pMethods->xShmLock(Cast(f)->real, offset, n, flags);
}
void ShmBarrier(sqlite3_file* f) {
    Cast(f)->real->pMethods->xShmBarrier(Cast(f)->real);
}
int ShmUnmap(sqlite3_file* f, int deleteFlag) {
    return Cast(f)->real->pMethods->xShmUnmap(Cast(f)->real, deleteFlag);
}

// Version 2: no memory-mapped reads, which would bypass the pending changes.
const sqlite3_io_methods kMethods = {
    2,
    Close,
    Read,
    Write,
    Truncate,
    Sync,
    FileSize,
    Lock,
    Unlock,
    CheckReservedLock,
    FileControl,
    SectorSize,
    DeviceCharacteristics,
    ShmMap,
    ShmLock,
    ShmBarrier,
    ShmUnmap,
    nullptr,
    nullptr,
};

std::string BaseName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

int Open(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    CutFile* file = Cast(f);
    std::memset(file, 0, sizeof *file);
    file->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(f) + kRealOffset);
    file->logFd = -1;
    const int rc = Real()->xOpen(Real(), name, file->real, flags, outFlags);
    if (rc != SQLITE_OK) {
        file->base.pMethods = nullptr;
        return rc;
    }
    file->tracked = name != nullptr && (flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_WAL)) != 0;
    file->pending = new std::vector<Change>();
    if (file->tracked) {
        const std::string log = gLogDir + "/" + BaseName(name) + ".pending";
        file->logFd =
            ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
        if (file->logFd < 0) ::_exit(92);
        file->real->pMethods->xFileSize(file->real, &file->size);
    }
    file->base.pMethods = &kMethods;
    return SQLITE_OK;
}

int Delete(sqlite3_vfs*, const char* name, int syncDir) {
    return Real()->xDelete(Real(), name, syncDir);
}
int Access(sqlite3_vfs*, const char* name, int flags, int* out) {
    return Real()->xAccess(Real(), name, flags, out);
}
int FullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    return Real()->xFullPathname(Real(), name, size, out);
}
void* DlOpen(sqlite3_vfs*, const char* name) {
    return Real()->xDlOpen(Real(), name);
}
void DlError(sqlite3_vfs*, int size, char* out) {
    Real()->xDlError(Real(), size, out);
}
void (*DlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
    return Real()->xDlSym(Real(), handle, symbol);
}
void DlClose(sqlite3_vfs*, void* handle) {
    Real()->xDlClose(Real(), handle);
}
int Randomness(sqlite3_vfs*, int size, char* out) {
    return Real()->xRandomness(Real(), size, out);
}
int Sleep(sqlite3_vfs*, int micros) {
    return Real()->xSleep(Real(), micros);
}
int CurrentTime(sqlite3_vfs*, double* out) {
    return Real()->xCurrentTime(Real(), out);
}
int GetLastError(sqlite3_vfs*, int size, char* out) {
    return Real()->xGetLastError(Real(), size, out);
}
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
    return Real()->xCurrentTimeInt64(Real(), out);
}

struct Record {
    bool truncate = false;
    std::int64_t offset = 0;
    std::vector<std::uint8_t> data;
};

// The complete records of a side log; a record cut short was a write still in progress.
std::vector<Record> ReadLog(const std::string& path) {
    std::vector<Record> records;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return records;
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    ::close(fd);
    std::size_t at = 0;
    while (at + 13 <= bytes.size()) {
        Record record;
        record.truncate = bytes[at] == 'T';
        std::uint32_t length = 0;
        std::memcpy(&record.offset, &bytes[at + 1], 8);
        std::memcpy(&length, &bytes[at + 9], 4);
        if (at + 13 + length > bytes.size()) break;
        record.data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + 13),
                           bytes.begin() + static_cast<std::ptrdiff_t>(at + 13 + length));
        records.push_back(std::move(record));
        at += 13 + length;
    }
    return records;
}

}  // namespace

bool RegisterPowerCutVfs(const std::string& logDir, long cutAt, bool lyingDisk) {
    gCutAt = cutAt;
    gLyingDisk = lyingDisk;
    gReal = sqlite3_vfs_find(nullptr);
    if (!gReal) return false;
    gLogDir = logDir;
    gVfs = *gReal;
    gVfs.iVersion = std::min(gReal->iVersion, 2);
    gVfs.szOsFile = static_cast<int>(kRealOffset) + gReal->szOsFile;
    gVfs.zName = "powercut";
    gVfs.pAppData = nullptr;
    gVfs.pNext = nullptr;
    gVfs.xOpen = Open;
    gVfs.xDelete = Delete;
    gVfs.xAccess = Access;
    gVfs.xFullPathname = FullPathname;
    gVfs.xDlOpen = DlOpen;
    gVfs.xDlError = DlError;
    gVfs.xDlSym = DlSym;
    gVfs.xDlClose = DlClose;
    gVfs.xRandomness = Randomness;
    gVfs.xSleep = Sleep;
    gVfs.xCurrentTime = CurrentTime;
    gVfs.xGetLastError = GetLastError;
    gVfs.xCurrentTimeInt64 = CurrentTimeInt64;
    return sqlite3_vfs_register(&gVfs, 1) == SQLITE_OK;
}

int RestoreAfterCut(const std::string& logDir, const std::string& storeDir, Cut cut,
                    std::mt19937_64& random) {
    int found = 0;
    DIR* dir = ::opendir(logDir.c_str());
    if (!dir) return 0;
    std::vector<std::string> logs;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        const std::string suffix = ".pending";
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            logs.push_back(name);
        }
    }
    ::closedir(dir);
    std::bernoulli_distribution coin(0.5);
    for (const std::string& log : logs) {
        const std::string logPath = logDir + "/" + log;
        const auto records = ReadLog(logPath);
        found += static_cast<int>(records.size());
        const std::string target = storeDir + "/" + log.substr(0, log.size() - 8);
        if (cut == Cut::Torn && !records.empty()) {
            const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd >= 0) {
                for (const Record& record : records) {
                    if (record.truncate) {
                        if (coin(random) && ::ftruncate(fd, record.offset) != 0) ::_exit(93);
                        continue;
                    }
                    // Sector by sector, each reaching the disk or not.
                    std::int64_t at = record.offset;
                    const std::int64_t end =
                        record.offset + static_cast<std::int64_t>(record.data.size());
                    while (at < end) {
                        const std::int64_t next = std::min(end, (at / kSector + 1) * kSector);
                        if (coin(random)) {
                            const auto size = static_cast<std::size_t>(next - at);
                            if (::pwrite(fd, record.data.data() + (at - record.offset), size, at) !=
                                static_cast<ssize_t>(size)) {
                                ::_exit(94);
                            }
                        }
                        at = next;
                    }
                }
                ::close(fd);
            }
        }
        ::unlink(logPath.c_str());
    }
    return found;
}

}  // namespace faults
