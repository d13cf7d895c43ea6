// The Windows folder of the seed machine (data/seed.reg): a freshly installed XP with the
// card's in-box driver and the A3D runtime. Its files are made here, by the PE writer: they
// carry versions and sizes, not the software they stand for.
#pragma once

#include <string>
#include <vector>

#include "formats/pe/pe_writer.h"

namespace platform {

struct SeedWindowsFile {
    std::string path;  // below the Windows folder, parts separated by "/"
    VersionedImage image;
};

std::vector<SeedWindowsFile> SeedWindowsFiles();

// Writes the files below `folder`, making the folders they need. "" when all were written,
// else what went wrong, naming the file.
std::string WriteWindowsFiles(const std::string& folder, const std::vector<SeedWindowsFile>& files);

}  // namespace platform
