#pragma once
// Test and benchmark images: gradients with noise, like a screen with photos and
// anti-aliased text on it.
#include <cstdint>
#include <cstdlib>

#include "image/Image24.h"

namespace kadrix::test {

// Deterministic noise, independent of the platform's rand().
inline std::uint32_t NextNoise(std::uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

// noise = amplitude of the per-pixel noise added to the gradients (0 = smooth).
inline Image24 PatternedImage(int width, int height, int noise, std::uint32_t seed = 12345) {
    Image24 image(width, height);
    std::uint32_t state = seed | 1;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = image.Row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            int b = x * 255 / (width > 1 ? width - 1 : 1);
            int g = y * 255 / (height > 1 ? height - 1 : 1);
            int r = (x + y) * 2 % 510;
            if (r > 255) r = 510 - r;  // a triangle wave: no hard edge
            if (noise > 0) {
                const std::uint32_t n = NextNoise(state);
                b += static_cast<int>(n % (2 * noise + 1)) - noise;
                g += static_cast<int>((n >> 8) % (2 * noise + 1)) - noise;
                r += static_cast<int>((n >> 16) % (2 * noise + 1)) - noise;
            }
            p[0] = static_cast<std::uint8_t>(b < 0 ? 0 : b > 255 ? 255 : b);
            p[1] = static_cast<std::uint8_t>(g < 0 ? 0 : g > 255 ? 255 : g);
            p[2] = static_cast<std::uint8_t>(r < 0 ? 0 : r > 255 ? 255 : r);
        }
    }
    return image;
}

}  // namespace kadrix::test
