#pragma once
// JPEG through libjpeg (API 6b; libjpeg-turbo in both builds).
#include <string>
#include <string_view>

#include "image/Image24.h"

namespace kadrix {

// Baseline JFIF, YCbCr 2x2 subsampled, quality 100, standard Huffman tables:
// libjpeg's defaults plus jpeg_set_quality(100, TRUE). Throws
// Error(u"JPEG error #N") with libjpeg's message number on failure (an image
// wider or taller than 65500 gives JERR_IMAGE_TOO_BIG).
std::string EncodeJpeg(ConstImageView24 image);

// Decodes any JPEG that libjpeg reads (colour, greyscale, Adobe CMYK/YCCK) to
// 24-bit BGR. Throws Error(u"JPEG error #N") on failure. Data that ends early
// or is damaged (libjpeg's warnings other than the cosmetic ones) is an error
// too, never a grey-padded partial picture. Images over the size cap give
// JERR_IMAGE_TOO_BIG before anything is allocated for them.
Image24 DecodeJpeg(std::string_view bytes);

}  // namespace kadrix
