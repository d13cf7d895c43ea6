// The seed machine's Windows folder on disk, made once and whole: the files are written into
// a side folder that is synced and renamed into place, so a start killed while making it
// leaves no folder, and the next start makes it again.
#pragma once

#include <string>

namespace platform {

// Makes `folder` from SeedWindowsFiles() unless something by that name is there already.
// "" when the folder is there afterwards, else a sentence saying why not.
std::string EnsureSeedWindowsFolder(const std::string& folder);

}  // namespace platform
