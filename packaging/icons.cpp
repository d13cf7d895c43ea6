// Writes the program's icon for a Linux desktop, the picture that the Windows build shows in
// its title bar, as PNG files in the layout of an icon theme:
//
//   calvenor_icons DIR NAME SIZE...    makes DIR/SIZExSIZE/apps/NAME.png for each SIZE
//
// The picture is drawn by the program's own code, so the icon needs no image files.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ui/pictures.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kPicture = "general";

void PutBig32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutChunk(std::vector<std::uint8_t>& out, const char type[4],
              const std::vector<std::uint8_t>& data) {
    PutBig32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const auto crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
    PutBig32(out, static_cast<std::uint32_t>(crc));
}

// An 8-bit RGBA PNG of the image; empty when zlib fails.
std::vector<std::uint8_t> EncodePng(const ui::Image& image) {
    // Each row with filter type 1 (the difference from the pixel to the left), which turns the
    // picture's flat areas and transparent margins into runs zlib packs well.
    const std::size_t stride = static_cast<std::size_t>(image.width) * 4;
    std::vector<std::uint8_t> rows;
    rows.reserve((stride + 1) * image.height);
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* row = image.rgba.data() + stride * y;
        rows.push_back(1);
        for (std::size_t i = 0; i < stride; ++i) {
            rows.push_back(static_cast<std::uint8_t>(row[i] - (i >= 4 ? row[i - 4] : 0)));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()), 9) !=
        Z_OK) {
        return {};
    }
    packed.resize(packedSize);

    std::vector<std::uint8_t> header;
    PutBig32(header, static_cast<std::uint32_t>(image.width));
    PutBig32(header, static_cast<std::uint32_t>(image.height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, filtered, no interlace

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", {});
    return png;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "calvenor_icons: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return Fail("usage: calvenor_icons DIR NAME SIZE...");
    const fs::path dir = argv[1];
    const std::string name = argv[2];
    for (int i = 3; i < argc; ++i) {
        char* end = nullptr;
        const long size = std::strtol(argv[i], &end, 10);
        if (*end != '\0' || size < 1 || size > 1024) {
            return Fail("a size must be a number of pixels: \"" + std::string(argv[i]) + "\"");
        }
        const ui::Image image =
            ui::RenderPicture(kPicture, static_cast<int>(size), static_cast<int>(size));
        const std::vector<std::uint8_t> png = EncodePng(image);
        if (image.empty() || png.empty())
            return Fail("cannot draw the icon at " + std::string(argv[i]));
        const std::string square = std::to_string(size) + "x" + std::to_string(size);
        const fs::path folder = dir / square / "apps";
        std::error_code error;
        fs::create_directories(folder, error);
        if (error) return Fail("cannot create " + folder.string() + ": " + error.message());
        const fs::path file = folder / (name + ".png");
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(png.data()),
                  static_cast<std::streamsize>(png.size()));
        out.close();
        if (!out) return Fail("cannot write " + file.string());
    }
    return 0;
}
