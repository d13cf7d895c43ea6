#include "support/files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <system_error>

namespace testing_support {

namespace fs = std::filesystem;

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

ScratchFolder::ScratchFolder(const std::string& name) {
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    std::random_device random;
    std::uniform_int_distribution<int> letter(0, 25);
    // create_directory is false for a folder that exists: another test's, which is left alone.
    for (int attempt = 0; !error && attempt < 100; ++attempt) {
        std::string leaf = "calvenor-" + name + "-";
        for (int i = 0; i < 6; ++i) leaf.push_back(static_cast<char>('a' + letter(random)));
        if (fs::create_directory(base / leaf, error)) {
            path_ = base / leaf;
            fs::permissions(path_, fs::perms::owner_all, error);
            return;
        }
    }
    ADD_FAILURE() << "cannot make a scratch folder in " << base << ": " << error.message();
}

ScratchFolder::~ScratchFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

}  // namespace testing_support
