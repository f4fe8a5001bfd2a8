#include "assets/ArtworkImage.h"

namespace qinvara {

PngDecodeResult DecodeArtwork(Artwork which) {
    return DecodePng(ArtworkBytes(which), ArtworkFileName(which));
}

}  // namespace qinvara
