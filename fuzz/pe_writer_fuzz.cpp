// libFuzzer target for the PE writer: whatever values it is given, it either refuses them or
// writes a file of exactly the size asked whose version the reader reads back unchanged.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "formats/pe/pe_version.h"
#include "formats/pe/pe_writer.h"

namespace {

std::u16string Text(FuzzedDataProvider& input) {
    const std::string bytes = input.ConsumeRandomLengthString(256);
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                      static_cast<std::uint8_t>(bytes[i + 1]) << 8);
    }
    return text;
}

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    platform::VersionedImage image;
    image.kind = input.ConsumeBool() ? platform::PeKind::Driver : platform::PeKind::Dll;
    for (auto& part : image.fileVersion) part = input.ConsumeIntegral<std::uint16_t>();
    for (auto& part : image.productVersion) part = input.ConsumeIntegral<std::uint16_t>();
    image.fileSubtype = input.ConsumeIntegral<std::uint32_t>();
    image.language = input.ConsumeIntegral<std::uint16_t>();
    image.codePage = input.ConsumeIntegral<std::uint16_t>();
    image.timeDateStamp = input.ConsumeIntegral<std::uint32_t>();
    // Sizes stay small so that runs stay fast; one value stands for "past the limit".
    const auto sizeChoice = input.ConsumeIntegralInRange<std::uint32_t>(0, 1 << 18);
    image.fileSize = sizeChoice == 1 << 18 ? platform::kMaxPeFileSize + 1 : sizeChoice;
    bool hasNul = false;
    const auto count = input.ConsumeIntegralInRange<std::size_t>(0, 12);
    for (std::size_t i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        platform::VersionString s{Text(input), Text(input)};
        hasNul = hasNul || s.key.find(u'\0') != std::u16string::npos ||
                 s.value.find(u'\0') != std::u16string::npos;
        image.strings.push_back(std::move(s));
    }

    const auto written = platform::WritePeImage(image);
    if (!written) {
        // At most 12 texts of 128 characters each fit in the resource, and the image in 8 KiB.
        const bool sizeFits = image.fileSize == 0 || (image.fileSize >= 8192 &&
                                                      image.fileSize <= platform::kMaxPeFileSize);
        Check(hasNul || !sizeFits);
        return 0;
    }
    Check(!hasNul);
    Check(image.fileSize == 0 || written->size() == image.fileSize);
    const auto read = platform::ReadPeFileVersion(written->data(), written->size());
    Check(read.has_value());
    Check(read->fileVersionMS ==
          (std::uint32_t{image.fileVersion[0]} << 16 | image.fileVersion[1]));
    Check(read->fileVersionLS ==
          (std::uint32_t{image.fileVersion[2]} << 16 | image.fileVersion[3]));
    return 0;
}
