#include "ui/pictures.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ui/canvas.h"

namespace {

// Distinct opaque-enough colours of an image.
std::set<std::uint32_t> Colours(const ui::Image& image) {
    std::set<std::uint32_t> colours;
    for (std::size_t i = 0; i + 3 < image.rgba.size(); i += 4) {
        if (image.rgba[i + 3] < 128) continue;
        colours.insert(static_cast<std::uint32_t>(image.rgba[i]) << 16 |
                       static_cast<std::uint32_t>(image.rgba[i + 1]) << 8 | image.rgba[i + 2]);
    }
    return colours;
}

TEST(Pictures, EveryNamedPictureIsDrawnInSeveralColoursAtTheAskedSize) {
    const char* expected[] = {"headphones", "satellite", "monitor", "quad",  "general",
                              "midi",       "a3d",       "reset",   "about", "a3dlogo",
                              "quadwindow", "mixer",     "tool1",   "tool2", "tool3",
                              "tool4",      "tool5",     "tool6",   "tool7"};
    for (const char* name : expected) {
        SCOPED_TRACE(name);
        const ui::Image image = ui::RenderPicture(name, 40, 30);
        ASSERT_EQ(image.width, 40);
        ASSERT_EQ(image.height, 30);
        ASSERT_EQ(image.rgba.size(), 40u * 30u * 4u);
        EXPECT_GT(Colours(image).size(), 1u);
    }
    EXPECT_EQ(ui::PictureNames().size(), std::size(expected));
}

TEST(Pictures, PictureKeepsItsProportionsAndLeavesTheRestTransparent) {
    // A square icon in a wide box is centred: the far left and right columns stay clear.
    const ui::Image image = ui::RenderPicture("reset", 96, 32);
    for (int y = 0; y < 32; ++y) {
        EXPECT_EQ(image.rgba[(static_cast<std::size_t>(y) * 96 + 0) * 4 + 3], 0);
        EXPECT_EQ(image.rgba[(static_cast<std::size_t>(y) * 96 + 95) * 4 + 3], 0);
    }
    EXPECT_EQ(image.rgba[(16u * 96u + 48u) * 4u + 3u], 255);
}

TEST(Pictures, UnknownNameOrEmptySizeGivesAnEmptyImage) {
    EXPECT_TRUE(ui::RenderPicture("nosuchpicture", 32, 32).empty());
    EXPECT_TRUE(ui::RenderPicture("", 32, 32).empty());
    EXPECT_TRUE(ui::RenderPicture("tool1", 0, 32).empty());
    EXPECT_TRUE(ui::RenderPicture("tool1", 32, -1).empty());
    EXPECT_FALSE(ui::RenderPicture("tool1", 1, 1).empty());
}

// Pictures are drawn a band of rows at a time; where the bands fall changes no pixel.
TEST(Pictures, BandsOfAnyHeightDrawTheSamePixels) {
    const std::vector<std::pair<int, int>> sizes = {{64, 64}, {96, 92}, {81, 121}, {17, 45}};
    const int usual = ui::drawing::Canvas::bandSamples;
    for (const std::string& name : ui::PictureNames()) {
        for (const auto& [w, h] : sizes) {
            ui::drawing::Canvas::bandSamples = 1;  // one row of pixels a band
            const ui::Image rows = ui::DrawPicture(name, w, h);
            ui::drawing::Canvas::bandSamples = 1 << 30;  // the whole picture in one
            const ui::Image whole = ui::DrawPicture(name, w, h);
            ui::drawing::Canvas::bandSamples = usual;
            const ui::Image usualBands = ui::DrawPicture(name, w, h);
            ASSERT_EQ(rows.rgba.size(), static_cast<std::size_t>(w) * h * 4) << name;
            EXPECT_TRUE(rows.rgba == whole.rgba) << name << " at " << w << "x" << h;
            EXPECT_TRUE(usualBands.rgba == whole.rgba) << name << " at " << w << "x" << h;
        }
    }
}

// Rows are narrowed to the spans a shape can reach; the pixels must be exactly those of testing
// every sample, at the sizes shown and at odd sizes where rounding falls differently.
TEST(Pictures, NarrowedRowsDrawExactlyWhatTestingEverySampleDraws) {
    const std::vector<std::pair<int, int>> sizes = {{32, 32},  {64, 64},   {96, 92}, {73, 73},
                                                    {81, 121}, {213, 210}, {17, 45}, {1, 1}};
    for (const std::string& name : ui::PictureNames()) {
        for (const auto& [w, h] : sizes) {
            const ui::Image narrowed = ui::DrawPicture(name, w, h);
            ui::drawing::Canvas::narrowRows = false;
            const ui::Image exhaustive = ui::DrawPicture(name, w, h);
            ui::drawing::Canvas::narrowRows = true;
            ASSERT_EQ(narrowed.rgba.size(), exhaustive.rgba.size()) << name;
            std::size_t differ = 0;
            for (std::size_t i = 0; i < narrowed.rgba.size(); ++i) {
                differ += narrowed.rgba[i] != exhaustive.rgba[i];
            }
            EXPECT_EQ(differ, 0u) << name << " at " << w << "x" << h;
        }
    }
}

}  // namespace
