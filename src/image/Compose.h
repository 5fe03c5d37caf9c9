#pragma once
// The overlay's strokes laid over the screen grab of a capture.
#include "image/Image24.h"

namespace kadrix {

// Every overlay pixel that is not exactly pure green (B=0, G=255, R=0) replaces
// the screen pixel at the same place; pure green leaves the screen pixel as it
// is, so a pure-green pixel of the screen itself survives. The two images must
// have the same size (Error otherwise).
void LayKeyedOver(ImageView24 screen, ConstImageView24 overlay);

}  // namespace kadrix
