#pragma once
// A 32-bit picture with transparency: B,G,R,A bytes per pixel, rows top-down
// and unpadded, straight (not premultiplied) alpha. It is the layout of a
// top-down 32-bit DIB, so the Win32 side copies it into one unchanged.
#include <cstdint>
#include <vector>

namespace kadrix {

struct Image32 {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;  // Width * Height * 4 bytes

    const std::uint8_t* Pixel(int x, int y) const {
        return Pixels.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) + x) * 4;
    }
};

}  // namespace kadrix
