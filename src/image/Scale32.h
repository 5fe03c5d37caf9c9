#pragma once
// Resizing small 32-bit pictures (the language flags) to a fixed cell.
#include "image/Image32.h"

namespace kadrix {

// The picture at exactly width x height, aspect ratio not kept. Each target
// pixel averages the source area it covers, weighted by alpha, so shrinking
// keeps stripes and edges smooth and transparent pixels lend no colour.
// Enlarging repeats pixels the same way. An empty source or target size gives
// a fully transparent picture of the target size.
Image32 ScaleImage32(const Image32& source, int width, int height);

}  // namespace kadrix
