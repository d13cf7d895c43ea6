// A SQLite VFS that models a machine whose power can fail at any moment. Writes to the main
// database file and to its write-ahead log stay pending (kept in memory, read back by the
// process itself) until the file is synced; only a sync puts them into the real file. Every
// pending change is also appended to a side log beside the store, so that after the writer
// dies the driver can decide, as the power failure would, which of them reached the disk.
//
// What this models: loss of any write that was not followed by a sync of its file, and (with
// Restore's torn mode) any 512-byte sector of such writes reaching the disk or not, in any
// combination. What it does not model: a sector damaged outside the bytes written, a drive
// that acknowledges a sync without having written (lying caches), the durability of file
// creation, renaming and deletion (directory entries are passed straight through), and the
// shared-memory index (it is rebuilt from the log after every crash anyway).
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace faults {

// Registers the VFS as the process's default, wrapping the default one. Side logs go to
// logDir; the files they cover are the store's database file and its write-ahead log. With
// cutAt > 0 the power fails (the process kills itself) just before the cutAt-th write,
// truncate or sync of those files.
// lyingDisk: a sync returns success without writing anything (a control run: the checker
// must then find acknowledged writes missing).
bool RegisterPowerCutVfs(const std::string& logDir, long cutAt, bool lyingDisk = false);

enum class Cut {
    DropAll,  // nothing that was not synced survives
    Torn,     // each pending sector survives or not, independently
};

// After the writer died: applies to the real files what the power failure let through, and
// removes the side logs. Returns the number of pending writes that were found.
int RestoreAfterCut(const std::string& logDir, const std::string& storeDir, Cut cut,
                    std::mt19937_64& random);

}  // namespace faults
