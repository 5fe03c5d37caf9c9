#include "image/Compose.h"

#include <cstdint>
#include <cstring>

#include "core/Error.h"

namespace kadrix {

namespace {

constexpr int kChunk = 8;  // pixels compared at once on the fast path

// Eight pure-green pixels in B,G,R order.
constexpr std::uint8_t kGreenRun[kChunk * 3] = {0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0,
                                                0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0};

inline void LayPixels(std::uint8_t* dst, const std::uint8_t* src, int count) {
    for (int i = 0; i < count; ++i, dst += 3, src += 3) {
        if (src[0] != 0 || src[1] != 255 || src[2] != 0) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    }
}

}  // namespace

void LayKeyedOver(ImageView24 screen, ConstImageView24 overlay) {
    CheckImageView(screen);
    CheckImageView(overlay);
    if (screen.width != overlay.width || screen.height != overlay.height)
        throw Error(u"Images to compose differ in size");

    const int width = screen.width;
    for (int y = 0; y < screen.height; ++y) {
        std::uint8_t* dst = screen.Row(y);
        const std::uint8_t* src = overlay.Row(y);
        int x = 0;
        // The overlay is almost all see-through green: skip it eight pixels at a
        // time and look at single pixels only where a stroke is.
        for (; x + kChunk <= width; x += kChunk) {
            if (std::memcmp(src + 3 * x, kGreenRun, sizeof kGreenRun) != 0)
                LayPixels(dst + 3 * x, src + 3 * x, kChunk);
        }
        LayPixels(dst + 3 * x, src + 3 * x, width - x);
    }
}

}  // namespace kadrix
