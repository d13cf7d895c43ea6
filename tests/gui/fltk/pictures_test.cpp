// The pictures as the Linux windows put them on the screen: pixel for pixel what the product's
// drawing code makes at the size they cover in the screen's pixels. At a scale above 1 a
// picture made at its size at 1x and enlarged by the toolkit would be blurred, and differ at
// every edge. Runs real FLTK windows on a display (ctest starts it under Xvfb).
// clang-format off
// GoogleTest and the program's headers before FLTK's: X11's headers, which some of FLTK's
// include, define None, a name both use.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "gui/fltk/fltk_widgets.h"
#include "ui/pictures.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Image.H>
#include <FL/fl_draw.H>
// clang-format on

namespace {

using gui::fltk::IconList;
using gui::fltk::PictureBox;

// The scales the windows are tried at: FLTK 1.3 has no other than 1.
std::vector<float> Scales() {
#if FL_API_VERSION >= 10400
    return {1, 1.25f, 2, 3};
#else
    return {1};
#endif
}

void SetScale(float scale) {
#if FL_API_VERSION >= 10400
    for (int n = 0; n < Fl::screen_count(); ++n) Fl::screen_scale(n, scale);
#else
    (void)scale;
#endif
}

struct Pixels {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* At(int x, int y) const {
        return &rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(x)) *
                    3];
    }
};

// What the window shows in a box given in its units, in the screen's pixels.
Pixels Capture(Fl_Window& window, int x, int y, int w, int h) {
    Pixels p;
#if FL_API_VERSION >= 10400
    std::unique_ptr<Fl_RGB_Image> image(fl_capture_window(&window, x, y, w, h));
    if (image == nullptr || image->d() < 3) return p;
    p.width = image->data_w();
    p.height = image->data_h();
    const int depth = image->d();
    const int line = image->ld() != 0 ? image->ld() : p.width * depth;
    const auto* data = reinterpret_cast<const unsigned char*>(image->data()[0]);
    for (int row = 0; row < p.height; ++row) {
        for (int col = 0; col < p.width; ++col) {
            const unsigned char* px = data + row * line + col * depth;
            p.rgb.insert(p.rgb.end(), px, px + 3);
        }
    }
#else
    window.make_current();
    std::unique_ptr<unsigned char[]> data(fl_read_image(nullptr, x, y, w, h));
    if (data == nullptr) return p;
    p.width = w;
    p.height = h;
    p.rgb.assign(data.get(), data.get() + static_cast<std::size_t>(w) * h * 3);
#endif
    return p;
}

// A picture made at a size, laid on a plain colour as a window lays it.
Pixels OnColour(const ui::Image& image, Fl_Color colour) {
    unsigned char r = 0, g = 0, b = 0;
    Fl::get_color(colour, r, g, b);
    const unsigned char under[3] = {r, g, b};
    Pixels p;
    p.width = image.width;
    p.height = image.height;
    for (std::size_t i = 0; i + 3 < image.rgba.size(); i += 4) {
        const int alpha = image.rgba[i + 3];
        for (int c = 0; c < 3; ++c) {
            const int v =
                image.rgba[i + static_cast<std::size_t>(c)] * alpha + under[c] * (255 - alpha);
            p.rgb.push_back(static_cast<unsigned char>((v + 127) / 255));
        }
    }
    return p;
}

// The same picture made at 1x and enlarged to the size, as a toolkit enlarges a bitmap
// (bilinear): what a blurred picture would show.
Pixels Enlarged(const Pixels& small, int width, int height) {
    Pixels p;
    p.width = width;
    p.height = height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float sx = std::clamp((x + 0.5f) * small.width / width - 0.5f, 0.0f,
                                        static_cast<float>(small.width - 1));
            const float sy = std::clamp((y + 0.5f) * small.height / height - 0.5f, 0.0f,
                                        static_cast<float>(small.height - 1));
            const int x0 = static_cast<int>(sx), y0 = static_cast<int>(sy);
            const int x1 = std::min(x0 + 1, small.width - 1);
            const int y1 = std::min(y0 + 1, small.height - 1);
            const float fx = sx - static_cast<float>(x0), fy = sy - static_cast<float>(y0);
            for (int c = 0; c < 3; ++c) {
                const float top = small.At(x0, y0)[c] * (1 - fx) + small.At(x1, y0)[c] * fx;
                const float bottom = small.At(x0, y1)[c] * (1 - fx) + small.At(x1, y1)[c] * fx;
                p.rgb.push_back(
                    static_cast<unsigned char>(std::lround(top * (1 - fy) + bottom * fy)));
            }
        }
    }
    return p;
}

// The mean difference of the colour channels of two pictures of one size.
double MeanDifference(const Pixels& a, const Pixels& b) {
    if (a.width != b.width || a.height != b.height || a.rgb.empty()) return 255;
    double sum = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i) sum += std::abs(a.rgb[i] - b.rgb[i]);
    return sum / static_cast<double>(a.rgb.size());
}

// Shows the window and lets it draw.
void Show(Fl_Window& window) {
    window.show();
    for (int i = 0; i < 50 && (!window.shown() || window.damage() != 0 || i < 5); ++i) {
        Fl::wait(0.02);
    }
    Fl::flush();
}

constexpr int kSize = 48;  // each picture's box, in the window's units
constexpr int kCell = 52;
constexpr int kColumns = 5;

// Each picture in a picture control, and the tool icons in an icon list, at each scale: what is
// on the screen is the picture made at the pixels it covers, far nearer to it than to the same
// picture made at 1x and enlarged.
TEST(Pictures, DrawnAtTheScreensScaleFromPixelsMadeForIt) {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no display to open windows on";
    gui::fltk::SetUpLook();
    const std::vector<std::string>& names = ui::PictureNames();
    const int rows = (static_cast<int>(names.size()) + kColumns - 1) / kColumns;
    int checked = 0;
    for (const float scale : Scales()) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        SetScale(scale);
        Fl_Group::current(nullptr);
        Fl_Double_Window window(kColumns * kCell + 4, rows * kCell + 4 + 76, "Pictures");
        std::vector<PictureBox*> boxes;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const int column = static_cast<int>(i) % kColumns, row = static_cast<int>(i) / kColumns;
            boxes.push_back(
                new PictureBox(4 + column * kCell, 4 + row * kCell, kSize, kSize, names[i]));
        }
        const std::vector<std::string> icons = {"tool1", "tool4", "tool7"};
        auto* list = new IconList(4, 4 + rows * kCell, kColumns * kCell, 72);
        list->SetItems({"Volume", "Mixer", "DirectX"}, icons);
        window.end();
        Show(window);

        auto check = [&](const std::string& name, int x, int y, int w, int h, Fl_Color under) {
            SCOPED_TRACE(name);
            const Pixels shown = Capture(window, x, y, w, h);
            ASSERT_GT(shown.width, 0) << "nothing captured";
            EXPECT_EQ(shown.width, static_cast<int>(std::lround(w * scale)));
            const Pixels sharp =
                OnColour(ui::RenderPicture(name, shown.width, shown.height), under);
            const Pixels blurred =
                Enlarged(OnColour(ui::RenderPicture(name, w, h), under), shown.width, shown.height);
            constexpr double kNear = 1.0;
            EXPECT_LT(MeanDifference(shown, sharp), kNear)
                << "the picture on screen is not the one made at its pixels";
            if (scale > 1) {
                EXPECT_GT(MeanDifference(sharp, blurred), kNear) << "a blurred picture would pass";
            }
            ++checked;
        };
        for (std::size_t i = 0; i < names.size(); ++i) {
            check(names[i], boxes[i]->x(), boxes[i]->y(), kSize, kSize, FL_BACKGROUND_COLOR);
        }
        for (std::size_t i = 0; i < icons.size(); ++i) {
            int x = 0, y = 0, w = 0, h = 0;
            ASSERT_TRUE(list->ItemBox(static_cast<int>(i), x, y, w, h));
            // The icon stands centred at the top of its entry's cell.
            check(icons[i], x + (w - 32) / 2, y, 32, 32, FL_WHITE);
        }
        window.hide();
        Fl::wait(0.02);
    }
    SetScale(1);
    EXPECT_EQ(checked, static_cast<int>(Scales().size() * (names.size() + 3)));
}

}  // namespace
