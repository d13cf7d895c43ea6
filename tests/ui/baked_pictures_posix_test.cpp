#include <gtest/gtest.h>

#include "ui/baked_pictures.h"

namespace {

// Where the table is made (x86-64), every baked picture is exactly today's drawing; other
// processors may round a few edge pixels otherwise (baked_pictures_test.cpp allows for that).
#if defined(__x86_64__)
TEST(BakedPictures, EveryBakedPictureIsExactlyTheDrawingItWasMadeFrom) {
    for (std::size_t i = 0; i < ui::kBakedPictureCount; ++i) {
        const ui::BakedPicture& baked = ui::kBakedPictures[i];
        SCOPED_TRACE(std::string(baked.name) + "@" + std::to_string(baked.width));
        ui::Image decoded;
        ASSERT_TRUE(ui::DecodeRuns(baked.runs, baked.width, baked.height, &decoded));
        EXPECT_TRUE(decoded.rgba == ui::DrawPicture(baked.name, baked.width, baked.height).rgba)
            << "baked from an older drawing: run bake_pictures";
    }
}
#endif

}  // namespace
