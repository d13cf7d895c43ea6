// The hives' commits: each write's, or a group's once at its end, and dropping what a failed
// write or group left in memory.
#include <vector>

#include "registry/hive/hive_registry.h"

namespace platform {

using namespace winerr;

long HiveRegistry::Finish(int hive, const std::string& failure) {
    dirty_[hive] = true;
    if (!failure.empty()) {
        // The hive in memory may be half changed: it is read again, and a group it belongs to
        // is dropped whole.
        NoteFailure("\"" + files_[hive]->path() + "\": " + failure);
        if (groupDepth_ == 0) {
            DropDirty();
            ReportFailure();
        } else {
            broken_ = true;
        }
        return kRegistryIoFailed;
    }
    if (groupDepth_ > 0) return kSuccess;
    const long status = CommitDirty();
    ReportFailure();
    return status;
}

long HiveRegistry::CommitDirty() {
    // One write of every hive changed: all of it or none, across both.
    std::vector<hive::Journal::Change> changes;
    std::vector<int> hives;
    for (int hive : {kSystem, kSoftware}) {
        if (!dirty_[hive]) continue;
        hive::Journal::Change change;
        std::string reason;
        if (!files_[hive]->Prepare(&change, &reason)) {
            NoteFailure(reason + "; nothing was changed");
            DropDirty();
            return kRegistryIoFailed;
        }
        changes.push_back(std::move(change));
        hives.push_back(hive);
    }
    std::string reason;
    const hive::Written written = journal_->Write(changes, &reason);
    for (const int hive : hives) dirty_[hive] = false;
    if (written == hive::Written::kDoubt) {
        // What the disk holds is not known; the engine keeps what was meant, and the journal
        // takes no more writes.
        doubt_ = true;
        NoteFailure(reason);
        return kRegistryIoFailed;
    }
    long status = kSuccess;
    if (written == hive::Written::kNone) {
        NoteFailure(reason + "; nothing was changed");
        status = kRegistryIoFailed;
    }
    for (const int hive : hives) {
        std::string problem;
        if (!files_[hive]->Finish(written == hive::Written::kAll, &problem)) {
            NoteFailure(problem);  // it names the file
            status = kRegistryIoFailed;
        }
    }
    if (status == kSuccess) NoteSuccess();
    return status;
}

void HiveRegistry::DropDirty() {
    for (int hive : {kSystem, kSoftware}) {
        if (!dirty_[hive]) continue;
        dirty_[hive] = false;
        std::string reason;
        if (!files_[hive]->Reload(&reason)) NoteFailure(reason);  // it names the file
    }
    broken_ = false;
}

long HiveRegistry::AllOrNone(const std::function<long()>& body) {
    if (groupDepth_ > 0) return kInvalidParameter;
    ++groupDepth_;
    long status;
    try {
        status = body();
    } catch (...) {
        --groupDepth_;
        DropDirty();
        throw;
    }
    --groupDepth_;
    if (broken_ && status == kSuccess) status = kRegistryIoFailed;
    if (status != kSuccess) {
        DropDirty();
    } else {
        status = CommitDirty();
    }
    ReportFailure();
    return status;
}

void HiveRegistry::Together(const std::function<void()>& body) {
    if (groupDepth_ > 0 || readOnly_) return body();
    AllOrNone([&] {
        body();
        return kSuccess;
    });
}

}  // namespace platform
