#include <gtest/gtest.h>

#include <cstring>

#include "core/Error.h"
#include "image/Compose.h"
#include "support/ImagePatterns.h"

namespace kadrix {
namespace {

void Set(Image24& image, int x, int y, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    std::uint8_t* p = image.Row(y) + 3 * x;
    p[0] = b;
    p[1] = g;
    p[2] = r;
}

void FillGreen(Image24& image) {
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) Set(image, x, y, 0, 255, 0);
}

TEST(Compose, GreenPassesScreenThrough) {
    const Image24 original = test::PatternedImage(37, 11, 20);
    Image24 screen = original;
    Image24 overlay(37, 11);
    FillGreen(overlay);
    LayKeyedOver(screen, overlay);
    EXPECT_EQ(0, std::memcmp(screen.Data(), original.Data(), original.SizeBytes()));
}

TEST(Compose, ScreenPixelOfPureGreenSurvives) {
    Image24 screen = test::PatternedImage(9, 3, 0);
    Set(screen, 4, 1, 0, 255, 0);
    Image24 overlay(9, 3);
    FillGreen(overlay);
    Set(overlay, 3, 1, 0, 0, 255);  // a red stroke pixel beside it
    LayKeyedOver(screen, overlay);
    const std::uint8_t* p = screen.Row(1) + 3 * 4;
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[1], 255);
    EXPECT_EQ(p[2], 0);
    p = screen.Row(1) + 3 * 3;
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[1], 0);
    EXPECT_EQ(p[2], 255);
}

TEST(Compose, NearGreenReplaces) {
    // Near greens on both the 8-pixel fast path and the tail.
    const std::uint8_t nearGreens[][3] = {{0, 254, 0}, {1, 255, 0}, {0, 255, 1}, {0, 0, 0}, {255, 255, 255}};
    for (int width : {1, 7, 8, 9, 16, 23}) {
        for (const auto& c : nearGreens) {
            for (int x : {0, width / 2, width - 1}) {
                Image24 screen = test::PatternedImage(width, 2, 30);
                const Image24 original = screen;
                Image24 overlay(width, 2);
                FillGreen(overlay);
                Set(overlay, x, 1, c[0], c[1], c[2]);
                LayKeyedOver(screen, overlay);
                for (int y = 0; y < 2; ++y) {
                    for (int i = 0; i < width; ++i) {
                        const std::uint8_t* got = screen.Row(y) + 3 * i;
                        const std::uint8_t* want = (y == 1 && i == x) ? c : original.Row(y) + 3 * i;
                        ASSERT_EQ(0, std::memcmp(got, want, 3)) << "width " << width << " x " << i << " y " << y;
                    }
                }
            }
        }
    }
}

TEST(Compose, MatchesPerPixelRuleOnRealisticOverlay) {
    Image24 screen = test::PatternedImage(301, 257, 40);
    const Image24 original = screen;
    const Image24 overlay = test::MostlyGreenOverlay(301, 257);
    LayKeyedOver(screen, overlay);
    for (int y = 0; y < 257; ++y) {
        for (int x = 0; x < 301; ++x) {
            const std::uint8_t* o = overlay.Row(y) + 3 * x;
            const bool green = o[0] == 0 && o[1] == 255 && o[2] == 0;
            const std::uint8_t* want = green ? original.Row(y) + 3 * x : o;
            ASSERT_EQ(0, std::memcmp(screen.Row(y) + 3 * x, want, 3)) << x << "," << y;
        }
    }
}

TEST(Compose, WorksOnViewsWithOwnStride) {
    // A bottom-up buffer seen through a negative stride, as a DIB could be.
    constexpr int w = 3, h = 2;
    std::uint8_t screenBytes[2][12] = {};
    std::uint8_t overlayBytes[2][12] = {{0, 255, 0, 9, 8, 7, 0, 255, 0}, {1, 2, 3, 0, 255, 0, 0, 255, 0}};
    ImageView24 screen{screenBytes[1], w, h, -12};
    ConstImageView24 overlay{overlayBytes[0], w, h, 12};
    LayKeyedOver(screen, overlay);
    const std::uint8_t wantTop[12] = {0, 0, 0, 9, 8, 7, 0, 0, 0};
    const std::uint8_t wantBottom[12] = {1, 2, 3, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(screenBytes[1], wantTop, 12));
    EXPECT_EQ(0, std::memcmp(screenBytes[0], wantBottom, 12));
}

TEST(Compose, SizeMismatchIsAnError) {
    Image24 screen(4, 4);
    Image24 overlay(4, 5);
    EXPECT_THROW(LayKeyedOver(screen, overlay), Error);
}

}  // namespace
}  // namespace kadrix
