// Flags are brought to the picker's cell by ScaleImage32.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>

#include "image/Scale32.h"

namespace {

using Pixel = std::array<std::uint8_t, 4>;  // B, G, R, A

kadrix::Image32 Picture(int width, int height, const std::function<Pixel(int, int)>& at) {
    kadrix::Image32 image;
    image.Width = width;
    image.Height = height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Pixel p = at(x, y);
            image.Pixels.insert(image.Pixels.end(), p.begin(), p.end());
        }
    }
    return image;
}

Pixel At(const kadrix::Image32& image, int x, int y) {
    const std::uint8_t* p = image.Pixel(x, y);
    return {p[0], p[1], p[2], p[3]};
}

constexpr Pixel kRed{0, 0, 255, 255};
constexpr Pixel kBlue{255, 0, 0, 255};
constexpr Pixel kClear{0, 0, 0, 0};

TEST(ScaleImage32, ShrinksHalvesEnlargesAndAveragesByAlpha) {
    struct Case {
        const char* name;
        kadrix::Image32 source;
        int width, height;
        std::function<Pixel(int, int)> expected;
    } cases[] = {
        // A 48 x 40 flag with the top half red and the bottom blue keeps its halves at 24 x 20.
        {"48 x 40 halves", Picture(48, 40, [](int, int y) { return y < 20 ? kRed : kBlue; }), 24, 20,
         [](int, int y) { return y < 10 ? kRed : kBlue; }},
        // Two columns red, two blue: each target pixel on the seam averages them.
        {"seam averaged", Picture(4, 1, [](int x, int) { return x < 2 ? kRed : kBlue; }), 1, 1,
         [](int, int) { return Pixel{128, 0, 128, 255}; }},
        // A 12 x 10 picture doubled: each pixel becomes a 2 x 2 block.
        {"enlarged", Picture(12, 10, [](int x, int) { return x % 2 ? kRed : kBlue; }), 24, 20,
         [](int x, int) { return (x / 2) % 2 ? kRed : kBlue; }},
        // A transparent neighbour lends no colour, only less cover.
        {"transparent neighbour", Picture(2, 1, [](int x, int) { return x ? kClear : kRed; }), 1, 1,
         [](int, int) { return Pixel{0, 0, 255, 128}; }},
        // Thirds that do not divide evenly: 3 -> 2 keeps the outer colours at the ends.
        {"uneven", Picture(3, 1, [](int x, int) { return x == 0 ? kRed : x == 2 ? kBlue : Pixel{0, 0, 0, 255}; }),
         2, 1, [](int x, int) { return x == 0 ? Pixel{0, 0, 170, 255} : Pixel{170, 0, 0, 255}; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const kadrix::Image32 scaled = kadrix::ScaleImage32(c.source, c.width, c.height);
        ASSERT_EQ(scaled.Width, c.width);
        ASSERT_EQ(scaled.Height, c.height);
        ASSERT_EQ(scaled.Pixels.size(), static_cast<size_t>(c.width * c.height * 4));
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                EXPECT_EQ(At(scaled, x, y), c.expected(x, y)) << x << "," << y;
            }
        }
    }
}

TEST(ScaleImage32, EmptySourceGivesATransparentCell) {
    const kadrix::Image32 scaled = kadrix::ScaleImage32(kadrix::Image32{}, 24, 20);
    ASSERT_EQ(scaled.Pixels.size(), 24u * 20 * 4);
    for (std::uint8_t byte : scaled.Pixels) EXPECT_EQ(byte, 0);
}

}  // namespace
