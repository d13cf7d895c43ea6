// The journal's writes: the logs, a group's record, each hive's raised header, bins and
// completed header, every step flushed; and putting the hives back when a call fails.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "registry/hive/hive_journal.h"
#include "registry/hive/hive_journal_detail.h"

namespace platform::hive {

using namespace journal;

struct Journal::Plan {
    Hive* hive = nullptr;
    std::uint8_t* image = nullptr;
    std::uint32_t oldBins = 0;
    std::uint32_t newBins = 0;
    off_t oldFileSize = 0;
    std::vector<std::uint32_t> bins;  // where each bin starts, appended ones included
    std::vector<PageRun> runs;        // whole bins
    std::vector<std::string> old;     // each run's bytes as the disk holds them (to oldBins)
    std::string log;
    std::string raised, complete, undone;  // header sectors
    std::uint32_t oldSequence = 0;
    std::uint64_t oldTime = 0;

    // Where each bin starts: the hive's known ones, then those appended since the last write,
    // which must be sound (the others were checked then).
    std::string FindBins(const Hive& hive, const std::string& name);
    // Each bin a change touches, whole, the first, and every bin appended, as runs.
    std::string FindRuns(const Hive& hive, const std::vector<PageRun>& changed,
                         const std::string& name);
    // The raised, complete and put-back headers; the image given the complete one.
    void MakeHeaders(const std::string& diskHeader, std::uint64_t time);
    // What the disk holds where the runs go, to put back if the write fails.
    std::string ReadOld(const Hive& hive, const std::string& name);
};

std::string Journal::Plan::FindBins(const Hive& hive, const std::string& name) {
    const std::uint8_t* binsData = image + kBaseBlockSize;
    bins = hive.bins;
    for (std::uint64_t at = oldBins; at < newBins;) {
        const std::uint32_t size = Le32(binsData + at + field::kBinSize);
        if (std::memcmp(binsData + at, "hbin", 4) != 0 ||
            Le32(binsData + at + field::kBinOffset) != at || size == 0 ||
            size % kBinAlignment != 0 || size > newBins - at) {
            return name + ": the hive given has a broken bin at " + std::to_string(at);
        }
        bins.push_back(static_cast<std::uint32_t>(at));
        at += size;
    }
    if (bins.empty()) return name + ": the hive given has no bins";
    return "";
}

std::string Journal::Plan::FindRuns(const Hive& hive, const std::vector<PageRun>& changed,
                                    const std::string& name) {
    std::vector<std::size_t> touched{0};
    for (std::size_t index = hive.bins.size(); index < bins.size(); ++index) {
        touched.push_back(index);
    }
    for (const PageRun& run : changed) {
        if (run.size == 0 || run.offset % kSectorSize != 0 || run.size % kSectorSize != 0 ||
            std::uint64_t{run.offset} + run.size > newBins) {
            return name + ": a change given lies outside the hive's bins";
        }
        const auto first = std::upper_bound(bins.begin(), bins.end(), run.offset);
        const auto last = std::upper_bound(bins.begin(), bins.end(), run.offset + run.size - 1);
        for (auto it = first - 1; it != last; ++it) {
            touched.push_back(static_cast<std::size_t>(it - bins.begin()));
        }
    }
    std::sort(touched.begin(), touched.end());
    touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
    for (const std::size_t index : touched) {
        const std::uint32_t start = bins[index];
        const std::uint32_t end = index + 1 < bins.size() ? bins[index + 1] : newBins;
        const std::uint8_t* bin = image + kBaseBlockSize + start;
        if (std::memcmp(bin, "hbin", 4) != 0 || Le32(bin + field::kBinOffset) != start ||
            Le32(bin + field::kBinSize) != end - start) {
            return name + ": the hive given has a broken bin at " + std::to_string(start);
        }
        if (!runs.empty() && runs.back().offset + runs.back().size == start) {
            runs.back().size += end - start;
        } else {
            runs.push_back({start, end - start});
        }
    }
    return "";
}

void Journal::Plan::MakeHeaders(const std::string& diskHeader, std::uint64_t time) {
    // The disk's, with the bins size and root the hive given has.
    std::string header = diskHeader;
    std::memcpy(Bytes(header) + field::kRootCell, image + field::kRootCell, 4);
    std::memcpy(Bytes(header) + field::kBinsSize, image + field::kBinsSize, 4);
    PutLe32(Bytes(header) + field::kFileType, kPrimaryFile);
    const std::uint32_t sequence = oldSequence + 1;
    complete = WithNumbers(header, sequence, sequence, time);
    raised = WithNumbers(header, sequence, oldSequence, time);
    // Put back, a hive is the old one with a header of its own: neither the log of this write
    // nor a group record naming it completes it again.
    undone = WithNumbers(diskHeader, sequence, sequence, time + 1);
    std::memcpy(image, complete.data(), kSectorSize);
    PutLe64(image + kBaseBlockSize + field::kBinTimeStamp, time);
}

std::string Journal::Plan::ReadOld(const Hive& hive, const std::string& name) {
    for (const PageRun& run : runs) {
        std::string bytes;
        if (run.offset < oldBins) {
            bytes.assign(std::min(run.size, oldBins - run.offset), '\0');
            const off_t at = static_cast<off_t>(kBaseBlockSize + run.offset);
            std::size_t done = 0;
            while (done < bytes.size()) {
                const ssize_t n = ::pread(hive.fd, bytes.data() + done, bytes.size() - done,
                                          at + static_cast<off_t>(done));
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) return "cannot read " + name + ": " + (n < 0 ? Why() : "too short");
                done += static_cast<std::size_t>(n);
            }
        }
        old.push_back(std::move(bytes));
    }
    return "";
}

std::string Journal::Prepare(const Change& change, std::uint64_t time, Plan* plan) const {
    const Hive& hive = hives_[change.hive];
    const std::string name = Quoted(hive.path);
    std::uint8_t* image = change.image.data();
    if (change.image.size() < kBaseBlockSize) return name + ": the hive given has no base block";
    const std::uint32_t newBins = Le32(image + field::kBinsSize);
    const std::uint32_t oldBins = Le32(Bytes(hive.header) + field::kBinsSize);
    if (newBins % kBinAlignment != 0 || newBins < oldBins ||
        kBaseBlockSize + std::uint64_t{newBins} > change.image.size()) {
        return name + ": the hive given has a bins size of " + std::to_string(newBins) +
               " bytes, which this program does not write";
    }
    // The log's dirty vector is laid out for one sector a cluster.
    if (Le32(Bytes(hive.header) + field::kCluster) != 1) {
        return name +
               ": its header gives sectors of more than 512 bytes, for which this "
               "program does not write logs";
    }
    plan->image = image;
    plan->oldBins = oldBins;
    plan->newBins = newBins;
    plan->oldSequence = Le32(Bytes(hive.header) + field::kSequence1);
    plan->oldTime = Le64(Bytes(hive.header) + field::kTimeStamp);
    if (std::string problem = plan->FindBins(hive, name); !problem.empty()) return problem;
    if (std::string problem = plan->FindRuns(hive, change.runs, name); !problem.empty()) {
        return problem;
    }
    plan->MakeHeaders(hive.header, time);
    if (std::string problem = plan->ReadOld(hive, name); !problem.empty()) return problem;
    plan->oldFileSize = static_cast<off_t>(hive.size);
    plan->log = MakeLog(Bytes(plan->complete), image + kBaseBlockSize, newBins, plan->runs);
    return "";
}

bool Journal::PlanWrite(const std::vector<Change>& changes, std::vector<Plan>* plans,
                        std::string* reason) {
    if (!writable_) {
        *reason = "the hives are open for reading only";
        return false;
    }
    if (broken_) {
        *reason = brokenReason_;
        return false;
    }
    std::uint64_t time = Now();
    for (const Change& change : changes) {
        if (change.hive >= hives_.size()) {
            *reason = "no such hive";
            return false;
        }
        // The put-back header takes the time after the write's: both after the last write's.
        time = std::max(time, Le64(Bytes(hives_[change.hive].header) + field::kTimeStamp) + 2);
    }
    for (const Change& change : changes) {
        if (change.runs.empty()) continue;
        Hive& hive = hives_[change.hive];
        for (const Plan& other : *plans) {
            if (other.hive == &hive) {
                *reason = Quoted(hive.path) + ": given twice in one write";
                return false;
            }
        }
        if (!Unchanged(hive)) {
            *reason = Quoted(hive.path) +
                      ": the hive or its log was changed or moved by another "
                      "program since it was read";
            return false;
        }
        Plan plan;
        plan.hive = &hive;
        if (const std::string problem = Prepare(change, time, &plan); !problem.empty()) {
            *reason = problem;
            return false;
        }
        plans->push_back(std::move(plan));
    }
    return true;
}

std::string Journal::WriteLogs(const std::vector<Plan>& plans) const {
    for (const Plan& plan : plans) {
        Hive& hive = *plan.hive;
        struct stat info {};
        std::string problem = ::fstat(hive.logFd, &info) == 0 ? "" : Why();
        const bool resized = info.st_size != static_cast<off_t>(plan.log.size());
        if (problem.empty()) problem = WriteAll(hive.logFd, plan.log.data(), plan.log.size(), 0);
        if (problem.empty() && info.st_size > static_cast<off_t>(plan.log.size()) &&
            Files().Truncate(hive.logFd, static_cast<off_t>(plan.log.size())) != 0) {
            problem = Why();
        }
        if (problem.empty() &&
            (resized ? Files().Sync(hive.logFd) : Files().SyncData(hive.logFd)) != 0) {
            problem = Why();
        }
        if (!problem.empty()) {
            return "cannot write the log " + Quoted(hive.logPath) + ": " + problem;
        }
    }
    return "";
}

std::string Journal::WriteRecord(const std::vector<Plan>& plans, bool* made) const {
    std::vector<RecordEntry> entries;
    for (const Plan& plan : plans) {
        entries.push_back({plan.hive->name, plan.oldSequence, plan.oldTime, plan.oldSequence + 1,
                           Le64(Bytes(plan.complete) + field::kTimeStamp), plan.log.size(),
                           Digest(plan.log)});
    }
    const std::string text = RecordText(entries);
    const std::string path = Quoted(folder_ + "/" + kGroupRecord);
    // One left by a write the next open found done with.
    if (Files().Remove(folderFd_, kGroupRecord) == 0) SyncFolder(folderFd_);
    const int fd = Files().Create(folderFd_, kGroupRecord);
    std::string problem = fd < 0 ? Why() : WriteAll(fd, text.data(), text.size(), 0);
    if (problem.empty() &&
        (!OwnLike(fd, plans[0].hive->uid, plans[0].hive->gid, plans[0].hive->mode) ||
         Files().Sync(fd) != 0 || !SyncFolder(folderFd_))) {
        problem = Why();
    }
    if (fd >= 0) ::close(fd);
    *made = fd >= 0;
    return problem.empty() ? "" : "cannot write " + path + ": " + problem;
}

std::string Journal::RaiseHeaders(const std::vector<Plan>& plans) const {
    for (const Plan& plan : plans) {
        Hive& hive = *plan.hive;
        const off_t size = static_cast<off_t>(kBaseBlockSize + plan.newBins);
        std::string problem;
        if (size > plan.oldFileSize &&
            Files().Allocate(hive.fd, plan.oldFileSize, size - plan.oldFileSize) != 0) {
            problem = Why();
        }
        if (problem.empty()) problem = WriteAll(hive.fd, plan.raised.data(), kSectorSize, 0);
        if (!problem.empty()) return "cannot write " + Quoted(hive.path) + ": " + problem;
    }
    for (const Plan& plan : plans) {
        const bool grown =
            kBaseBlockSize + plan.newBins > static_cast<std::uint64_t>(plan.oldFileSize);
        if ((grown ? Files().Sync(plan.hive->fd) : Files().SyncData(plan.hive->fd)) != 0) {
            return "cannot write " + Quoted(plan.hive->path) + ": " + Why();
        }
    }
    return "";
}

std::string Journal::WriteBins(const std::vector<Plan>& plans) const {
    for (const Plan& plan : plans) {
        for (const PageRun& run : plan.runs) {
            const off_t at = static_cast<off_t>(kBaseBlockSize + run.offset);
            const std::string problem = WriteAll(plan.hive->fd, plan.image + at, run.size, at);
            if (!problem.empty()) return "cannot write " + Quoted(plan.hive->path) + ": " + problem;
        }
    }
    for (const Plan& plan : plans) {
        if (Files().SyncData(plan.hive->fd) != 0) {
            return "cannot write " + Quoted(plan.hive->path) + ": " + Why();
        }
    }
    return "";
}

std::string Journal::CompleteHeaders(const std::vector<Plan>& plans) const {
    for (const Plan& plan : plans) {
        const std::string problem = WriteAll(plan.hive->fd, plan.complete.data(), kSectorSize, 0);
        if (!problem.empty()) return "cannot write " + Quoted(plan.hive->path) + ": " + problem;
    }
    for (const Plan& plan : plans) {
        if (Files().SyncData(plan.hive->fd) != 0) {
            return "cannot write " + Quoted(plan.hive->path) + ": " + Why();
        }
    }
    return "";
}

Written Journal::Write(const std::vector<Change>& changes, std::string* reason) {
    std::vector<Plan> plans;
    if (!PlanWrite(changes, &plans, reason)) return Written::kNone;
    if (plans.empty()) return Written::kAll;

    // 1. The logs, whole, before any hive is touched.
    if (const std::string why = WriteLogs(plans); !why.empty()) {
        return Undo(plans, false, false, why, reason);
    }
    // 2. A group's record, naming each log, before any hive is touched.
    const bool group = plans.size() > 1;
    if (group) {
        bool made = false;
        if (const std::string why = WriteRecord(plans, &made); !why.empty()) {
            return Undo(plans, false, made, why, reason);
        }
    }
    // 3. Each hive marked as being written: from here a cut leaves it for its log to complete.
    if (const std::string why = RaiseHeaders(plans); !why.empty()) {
        return Undo(plans, true, group, why, reason);
    }
    // 4. The bins in place.
    if (const std::string why = WriteBins(plans); !why.empty()) {
        return Undo(plans, true, group, why, reason);
    }
    // 5. Each hive's write completed.
    if (const std::string why = CompleteHeaders(plans); !why.empty()) {
        return Undo(plans, true, group, why, reason);
    }
    for (Plan& plan : plans) {
        plan.hive->header = plan.complete;
        plan.hive->bins = std::move(plan.bins);
        Remember(*plan.hive);
    }
    // A record left behind names hives that are done: the next open removes it.
    if (group && Files().Remove(folderFd_, kGroupRecord) == 0) SyncFolder(folderFd_);
    return Written::kAll;
}

Written Journal::Undo(std::vector<Plan>& plans, bool touched, bool record, const std::string& why,
                      std::string* reason) {
    if (!touched && !record) {
        *reason = why;
        return Written::kNone;
    }
    std::string failed;
    const auto note = [&](const Plan& plan, const std::string& problem) {
        if (failed.empty() && !problem.empty()) failed = Quoted(plan.hive->path) + ": " + problem;
    };
    for (Plan& plan : plans) {
        if (touched) {
            for (std::size_t i = 0; i < plan.runs.size(); ++i) {
                const off_t at = static_cast<off_t>(kBaseBlockSize + plan.runs[i].offset);
                note(plan, WriteAll(plan.hive->fd, plan.old[i].data(), plan.old[i].size(), at));
            }
        }
        note(plan, WriteAll(plan.hive->fd, plan.undone.data(), kSectorSize, 0));
    }
    for (Plan& plan : plans) {
        if (Files().Sync(plan.hive->fd) != 0) note(plan, Why());
    }
    if (failed.empty()) {
        for (Plan& plan : plans) {
            // The space a grown hive took is given back; if it stays, it is only padding.
            if (kBaseBlockSize + plan.newBins > static_cast<std::uint64_t>(plan.oldFileSize)) {
                Files().Truncate(plan.hive->fd, plan.oldFileSize);
            }
            plan.hive->header = plan.undone;
            Remember(*plan.hive);
        }
    }
    if (record && Files().Remove(folderFd_, kGroupRecord) == 0) SyncFolder(folderFd_);
    if (failed.empty()) {
        *reason = why;
        return Written::kNone;
    }
    broken_ = true;
    brokenReason_ = "an earlier write could not be put back; open the installation again";
    *reason = why + "; putting it back as it was failed too (" + failed +
              "): calvenor and Windows find it written or as it was when they next open it";
    return Written::kDoubt;
}

}  // namespace platform::hive
