// The hives' commits: each write's, or a group's once at its end, and dropping what a failed
// write or group left in memory.
#include <cerrno>
#include <cstring>
#include <vector>

#include "registry/hive/hive_registry.h"

namespace platform {

using namespace winerr;

long HiveRegistry::Finish(int hive, bool ok) {
    dirty_[hive] = true;
    if (!ok) {
        // libhivex may have left the hive half changed: it is read again, and a group it
        // belongs to is dropped whole.
        NoteFailure("\"" + files_[hive]->path() + "\": libhivex: " + std::strerror(errno));
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

void HiveRegistry::Discard(int hive) {
    dirty_[hive] = true;
    if (groupDepth_ > 0) {
        broken_ = true;
    } else {
        DropDirty();
    }
}

long HiveRegistry::CommitDirty() {
    // One write of every hive changed: all of it or none, across both.
    std::vector<hive::Journal::Change> changes;
    std::vector<int> hives;
    for (int hive : {kSystem, kSoftware}) {
        if (!dirty_[hive]) continue;
        hive::Journal::Change change;
        std::string reason;
        if (!files_[hive]->Prepare(static_cast<std::size_t>(hive), &change, &reason)) {
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
        // What the disk holds is not known; libhivex keeps what was meant, and the journal
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
            NoteFailure("\"" + files_[hive]->path() + "\": " + problem);
            status = kRegistryIoFailed;
        }
    }
    if (status == kSuccess && pendingFailure_.empty()) failing_ = false;
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

void HiveRegistry::NoteFailure(const std::string& reason) {
    if (pendingFailure_.empty()) pendingFailure_ = reason;
}

void HiveRegistry::ReportFailure() {
    if (pendingFailure_.empty()) return;
    if (!failing_ && failureListener_) failureListener_(pendingFailure_);
    failing_ = true;
    pendingFailure_.clear();
}

}  // namespace platform
