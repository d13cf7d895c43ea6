#include "ui/baked_pictures.h"

#include <cstdint>
#include <cstring>
#include <utility>

namespace ui {
namespace {

constexpr char kDigits[] = "0123456789abcdef";

int Nibble(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The byte the two digits at text make, or -1.
int Byte(const char* text) {
    const int high = Nibble(text[0]);
    const int low = high < 0 ? -1 : Nibble(text[1]);
    return low < 0 ? -1 : high * 16 + low;
}

void Put(std::string& out, std::uint8_t byte) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
}

}  // namespace

std::string EncodeRuns(const Image& image) {
    std::string out;
    const std::size_t pixels = image.rgba.size() / 4;
    for (std::size_t i = 0; i < pixels;) {
        const std::uint8_t* pixel = &image.rgba[i * 4];
        std::size_t length = 1;
        while (length < 255 && i + length < pixels &&
               std::memcmp(pixel, &image.rgba[(i + length) * 4], 4) == 0) {
            ++length;
        }
        Put(out, static_cast<std::uint8_t>(length));
        for (int channel = 0; channel < 4; ++channel) Put(out, pixel[channel]);
        i += length;
    }
    return out;
}

bool DecodeRuns(const char* runs, int width, int height, Image* out) {
    if (width < 1 || height < 1) return false;
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::size_t chars = std::strlen(runs);
    if (chars % 10 != 0) return false;
    Image image;
    image.width = width;
    image.height = height;
    image.rgba.reserve(pixels * 4);
    for (const char* run = runs; run < runs + chars; run += 10) {
        const int length = Byte(run);
        int rgba[4];
        for (int channel = 0; channel < 4; ++channel) rgba[channel] = Byte(run + 2 + channel * 2);
        if (length < 1 || rgba[0] < 0 || rgba[1] < 0 || rgba[2] < 0 || rgba[3] < 0 ||
            image.rgba.size() / 4 + static_cast<std::size_t>(length) > pixels) {
            return false;
        }
        for (int i = 0; i < length; ++i) {
            for (int channel : rgba) image.rgba.push_back(static_cast<std::uint8_t>(channel));
        }
    }
    if (image.rgba.size() != pixels * 4) return false;
    *out = std::move(image);
    return true;
}

bool FindBakedPicture(const std::string& name, int width, int height, Image* out) {
    for (std::size_t i = 0; i < kBakedPictureCount; ++i) {
        const BakedPicture& baked = kBakedPictures[i];
        if (baked.width == width && baked.height == height && name == baked.name) {
            return DecodeRuns(baked.runs, width, height, out);
        }
    }
    return false;
}

}  // namespace ui
