// libFuzzer target for the PE version reader: any input must give a result or nothing,
// never a crash, a hang or a read outside the buffer.
#include <cstddef>
#include <cstdint>

#include "formats/pe/pe_version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto version = platform::ReadPeFileVersion(data, size);
    if (version) {
        // Touch the result so that the read cannot be optimised away.
        volatile std::uint32_t sink = version->fileVersionMS ^ version->fileVersionLS;
        (void)sink;
    }
    return 0;
}
