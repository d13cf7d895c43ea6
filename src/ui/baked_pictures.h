// Pictures drawn when the program is built, at the sizes a start draws them at 96 dpi:
// drawing them was a large share of a start, most of all in the 32-bit Windows build. The
// table is made by tools/bake_pictures.cpp and checked against fresh drawings by the tests.
#pragma once

#include <cstddef>
#include <string>

#include "ui/pictures.h"

namespace ui {

struct BakedPicture {
    const char* name;
    int width;
    int height;
    // Runs of equal pixels, in hexadecimal: per run its length (1 to 255, two digits), then
    // its red, green, blue and alpha (two digits each).
    const char* runs;
};

extern const BakedPicture kBakedPictures[];
extern const std::size_t kBakedPictureCount;

// The runs of an image, as a BakedPicture holds them.
std::string EncodeRuns(const Image& image);

// Whether runs make an image of the given size, which is then in *out.
bool DecodeRuns(const char* runs, int width, int height, Image* out);

// Whether the picture was baked at this size, which is then in *out.
bool FindBakedPicture(const std::string& name, int width, int height, Image* out);

}  // namespace ui
