#include "ui/baked_pictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>

namespace {

ui::Image Pixels(int width, int height, std::initializer_list<std::uint32_t> rgba) {
    ui::Image image;
    image.width = width;
    image.height = height;
    for (std::uint32_t pixel : rgba) {
        for (int shift : {24, 16, 8, 0}) image.rgba.push_back((pixel >> shift) & 0xFF);
    }
    return image;
}

TEST(BakedPictures, RunsComeBackAsThePixelsTheyWereMadeFrom) {
    // Runs break at a change of any channel and at 255 equal pixels.
    ui::Image image =
        Pixels(3, 2, {0x00000000, 0x00000000, 0x00000001, 0x10203040, 0x10203040, 0x10203040});
    std::string runs = ui::EncodeRuns(image);
    EXPECT_EQ(runs, "020000000001000000010310203040");
    ui::Image back;
    ASSERT_TRUE(ui::DecodeRuns(runs.c_str(), 3, 2, &back));
    EXPECT_EQ(back.width, 3);
    EXPECT_EQ(back.height, 2);
    EXPECT_TRUE(back.rgba == image.rgba);

    ui::Image wide;
    wide.width = 300;
    wide.height = 1;
    wide.rgba.assign(300 * 4, 0xAB);
    runs = ui::EncodeRuns(wide);
    EXPECT_EQ(runs, "ffabababab2dabababab");
    ASSERT_TRUE(ui::DecodeRuns(runs.c_str(), 300, 1, &back));
    EXPECT_TRUE(back.rgba == wide.rgba);
}

TEST(BakedPictures, DamagedOrMisfittingRunsAreRefused) {
    ui::Image out = Pixels(1, 1, {0x01020304});
    const ui::Image before = out;
    for (const char* runs : {"",               // no pixels
                             "0100000000",     // one pixel short of 2x1
                             "03000000000",    // not whole runs
                             "0000000000",     // a run of none
                             "02zz000000",     // not hexadecimal
                             "02000000FF",     // capitals are not what is written
                             "0300000000"}) {  // one pixel too many
        SCOPED_TRACE(runs);
        EXPECT_FALSE(ui::DecodeRuns(runs, 2, 1, &out));
        EXPECT_TRUE(out.rgba == before.rgba);
    }
    EXPECT_FALSE(ui::DecodeRuns("0100000000", 0, 1, &out));
}

// The largest difference of any channel of any pixel between two images of one size.
int Farthest(const ui::Image& a, const ui::Image& b) {
    if (a.rgba.size() != b.rgba.size()) return 256;
    int farthest = 0;
    for (std::size_t i = 0; i < a.rgba.size(); ++i) {
        farthest = std::max(farthest, std::abs(a.rgba[i] - b.rgba[i]));
    }
    return farthest;
}

// The table matches the pictures' code: a picture changed since it was baked fails here, and
// RenderPicture gives the baked copy at its size and a drawing at any other. The table is
// baked by the 64-bit Linux build; the 32-bit Windows build's floating point rounds a few
// edge pixels otherwise, by a step or two, so its drawings match within that (the exact match
// is checked where the table is made, baked_pictures_posix_test.cpp).
TEST(BakedPictures, EveryBakedPictureIsTodaysDrawing) {
    ASSERT_GT(ui::kBakedPictureCount, 0u);
    std::set<std::string> seen;
    for (std::size_t i = 0; i < ui::kBakedPictureCount; ++i) {
        const ui::BakedPicture& baked = ui::kBakedPictures[i];
        const std::string id = std::string(baked.name) + "@" + std::to_string(baked.width) + "x" +
                               std::to_string(baked.height);
        SCOPED_TRACE(id);
        EXPECT_TRUE(seen.insert(id).second) << "baked twice";
        const ui::Image drawn = ui::DrawPicture(baked.name, baked.width, baked.height);
        ui::Image decoded;
        ASSERT_TRUE(ui::DecodeRuns(baked.runs, baked.width, baked.height, &decoded));
        EXPECT_LE(Farthest(decoded, drawn), 2) << "baked from an older drawing: run bake_pictures";
        EXPECT_TRUE(ui::RenderPicture(baked.name, baked.width, baked.height).rgba == decoded.rgba);
    }
    ui::Image unused;
    EXPECT_FALSE(ui::FindBakedPicture("general", 17, 17, &unused));
    EXPECT_FALSE(ui::FindBakedPicture("nosuchpicture", 32, 32, &unused));
    EXPECT_TRUE(ui::RenderPicture("general", 17, 17).rgba ==
                ui::DrawPicture("general", 17, 17).rgba);
}

}  // namespace
