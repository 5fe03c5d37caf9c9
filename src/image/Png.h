#pragma once
// PNG through libpng.
#include <cstdint>
#include <string_view>

#include "image/Image32.h"

namespace kadrix {

// Pictures the program reads as PNG are small (flags); this is far above any
// of them and keeps a hostile header from asking for gigabytes.
inline constexpr std::int64_t kMaxPngPixels = std::int64_t{1} << 24;
inline constexpr int kMaxPngSide = 16384;

// Decodes every colour type and bit depth the format has, palette and tRNS
// transparency and Adam7 interlacing included, to 8-bit BGRA. Sixteen-bit
// samples are rounded to eight bits. Throws Error(u"PNG error: ...") with
// libpng's message on a damaged or truncated file (bad CRCs included) and on a
// picture over the size cap, the latter before anything is allocated for it.
Image32 DecodePng(std::string_view bytes);

}  // namespace kadrix
