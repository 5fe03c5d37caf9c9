#pragma once
// Windows bitmap files: the ".bmp" screenshot and reading it back for the
// copy-last-screenshot command.
#include <string>
#include <string_view>

#include "image/Image24.h"

namespace kadrix {

// A 24-bit BI_RGB bitmap file: 14-byte file header, 40-byte BITMAPINFOHEADER
// (resolution fields 0, i.e. unspecified), rows bottom-up, zero padded to 4 bytes.
std::string EncodeBmp(ConstImageView24 image);

// Reads uncompressed bitmaps of 1, 4, 8 (palette), 24 and 32 bits per pixel,
// bottom-up or top-down, with a 12-byte OS/2 core header or a 40/52/56/108/124-byte
// info header; 32-bit BI_BITFIELDS only with the masks of plain BGRX. Anything
// else throws Error(u"Bitmap image is not valid").
Image24 DecodeBmp(std::string_view bytes);

}  // namespace kadrix
