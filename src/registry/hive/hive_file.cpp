#include "registry/hive/hive_file.h"

#include "registry/hive/hive_format.h"

namespace platform {

namespace {

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

}  // namespace

std::unique_ptr<HiveFile> HiveFile::Load(std::string path, hive::Journal* journal,
                                         std::size_t index, std::string image, bool writable,
                                         std::string* error) {
    std::unique_ptr<HiveFile> file(new HiveFile(std::move(path), journal, index, writable));
    hive::Header header;
    hive::ReadHeader(image, image.size(), &header);
    if (header.minor < 3 || header.minor > 5) {
        if (error) {
            *error = Quoted(file->path_) + " is a hive of format 1." +
                     std::to_string(header.minor) +
                     ", which Windows XP does not use: give the Windows folder of an XP "
                     "installation";
        }
        return nullptr;
    }
    std::string reason;
    if (!file->Read(std::move(image), &reason)) {
        if (error) *error = reason;
        return nullptr;
    }
    return file;
}

bool HiveFile::Read(std::string image, std::string* reason) {
    hive_.reset();
    // The engine's copy has room for new bins; the journal's is dropped at once.
    std::vector<std::uint8_t> bytes;
    bytes.reserve(hive::SpareRoom(image.size()));
    bytes.assign(image.begin(), image.end());
    std::string().swap(image);
    std::string problem;
    hive_ = hive::Hive::Load(std::move(bytes), &problem);
    if (!hive_) {
        *reason = Quoted(path_) + " is a damaged hive (" + problem +
                  "): nothing was changed; start that Windows once so that it checks its "
                  "registry, or put back a copy of the hive from a backup";
        return false;
    }
    return true;
}

bool HiveFile::Reload(std::string* reason) {
    std::string problem;
    std::string image = journal_->ReadImage(index_, &problem);
    if (image.empty()) {
        hive_.reset();
        *reason = problem;
        return false;
    }
    return Read(std::move(image), reason);
}

bool HiveFile::Prepare(hive::Journal::Change* change, std::string* reason) {
    if (!hive_ || !writable_) {
        *reason = Quoted(path_) + ": the hive is not open for writing";
        return false;
    }
    change->hive = index_;
    change->runs.clear();
    for (const hive::Range& bin : hive_->DirtyBins()) {
        change->runs.push_back({bin.offset, bin.length});
    }
    // The journal sets the header's fields and the first bin's time in these bytes, which then
    // are what the disk holds.
    change->image = {hive_->base_block(), hive_->bytes().size()};
    return true;
}

bool HiveFile::Finish(bool written, std::string* reason) {
    if (written) {
        hive_->ClearDirty();
        return true;
    }
    return Reload(reason);
}

}  // namespace platform
