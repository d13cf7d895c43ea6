// Writes src/ui/baked_pictures_data.cpp to standard output: the pictures a start draws at
// 96 dpi, drawn now. Run it after changing a picture or what a start shows:
//   cmake --build build --target bake_pictures && build/bake_pictures >
//   src/ui/baked_pictures_data.cpp
#include <cstdio>
#include <string>

#include "ui/baked_pictures.h"

namespace {

struct Wanted {
    const char* name;
    int size;
};

// The windows' icons (16 and 32 pixels on Windows, 48 on Linux), the General page's picture
// and its tool icons.
constexpr Wanted kWanted[] = {
    {"general", 16}, {"general", 32}, {"general", 48}, {"general", 64},
    {"tool1", 32},   {"tool2", 32},   {"tool3", 32},   {"tool4", 32},
    {"tool5", 32},   {"tool6", 32},   {"tool7", 32},
};

constexpr std::size_t kLine = 90;  // hexadecimal digits per source line

}  // namespace

int main() {
    std::printf(
        "// Made by tools/bake_pictures.cpp from the pictures' code; do not edit. The tests\n"
        "// check every entry against a fresh drawing.\n"
        "// clang-format off\n"
        "#include \"ui/baked_pictures.h\"\n\nnamespace ui {\n\n"
        "const BakedPicture kBakedPictures[] = {\n");
    for (const Wanted& wanted : kWanted) {
        const ui::Image image = ui::DrawPicture(wanted.name, wanted.size, wanted.size);
        if (image.empty()) {
            std::fprintf(stderr, "bake_pictures: no picture \"%s\"\n", wanted.name);
            return 1;
        }
        const std::string runs = ui::EncodeRuns(image);
        std::printf("    {\"%s\", %d, %d,\n", wanted.name, image.width, image.height);
        for (std::size_t at = 0; at < runs.size(); at += kLine) {
            std::printf("     \"%s\"%s\n", runs.substr(at, kLine).c_str(),
                        at + kLine < runs.size() ? "" : "},");
        }
    }
    std::printf(
        "};\n\nconst std::size_t kBakedPictureCount = sizeof kBakedPictures / sizeof "
        "kBakedPictures[0];\n\n}  // namespace ui\n// clang-format on\n");
    return 0;
}
