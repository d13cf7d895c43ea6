// The hives' commits: each write's, or a group's once at its end, and dropping what a failed
// write or group left in memory.
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
    long status = kSuccess;
    for (int hive : {kSystem, kSoftware}) {
        if (!dirty_[hive]) continue;
        dirty_[hive] = false;
        std::string reason;
        if (!files_[hive]->Commit(&reason)) {
            NoteFailure(reason);
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
        if (!files_[hive]->Reload(&reason)) {
            NoteFailure("cannot read \"" + files_[hive]->path() + "\" again: " + reason);
        }
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
