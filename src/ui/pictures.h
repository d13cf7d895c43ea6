// The product's own illustrations, drawn by code into an RGBA buffer so that every window
// toolkit shows the same pictures without image files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ui {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;  // width * height * 4, straight (not premultiplied) alpha

    bool empty() const { return width <= 0 || height <= 0 || rgba.empty(); }
};

// Draws the named picture at the given size, keeping its proportions and centring it; the
// uncovered parts are transparent. An unknown name or a size below 1 gives an empty image.
Image DrawPicture(const std::string& name, int width, int height);

// The named picture at the given size: a copy of the one drawn when the program was built
// where that size was baked in (baked_pictures.h), else DrawPicture's.
Image RenderPicture(const std::string& name, int width, int height);

// Every name DrawPicture knows.
const std::vector<std::string>& PictureNames();

}  // namespace ui
