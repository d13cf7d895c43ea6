// Prints the fixed file version of a PE file as the program's own reader finds it, the four
// parts joined by ".", for the scripts that check a built executable:
//
//   pe_file_version FILE
#include <cstdio>

#include "platform/posix/posix_platform.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pe_file_version FILE\n");
        return 2;
    }
    const auto version = platform::ReadPeFileVersionFile(argv[1]);
    if (!version) {
        std::fprintf(stderr, "pe_file_version: %s: no version resource read\n", argv[1]);
        return 1;
    }
    std::printf("%u.%u.%u.%u\n", version->fileVersionMS >> 16, version->fileVersionMS & 0xFFFF,
                version->fileVersionLS >> 16, version->fileVersionLS & 0xFFFF);
    return 0;
}
