// An embedded picture, decoded.
#pragma once

#include "assets/Artwork.h"
#include "assets/PngImage.h"

namespace qinvara {

// The error names the picture's file, so that a start-up failure says which
// picture could not be read.
PngDecodeResult DecodeArtwork(Artwork which);

}  // namespace qinvara
