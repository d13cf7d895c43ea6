// Files in tests: a whole file read at once, and a scratch folder of one test's own.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

// The bytes of a file; "" when it cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

// A new folder in the system's temporary folder, "calvenor-NAME-" and six random letters,
// removed with everything in it when the object goes. Tests that take away the folder's write
// permission need not give it back.
class ScratchFolder {
  public:
    explicit ScratchFolder(const std::string& name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Empty when no folder could be made (the test has failed then).
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace testing_support
