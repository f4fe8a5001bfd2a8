// Decoding a PNG file held in memory into 8-bit RGBA pixels.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qinvara {

struct DecodedImage {
    int width = 0;
    int height = 0;
    // Row after row from the top, four bytes a pixel (red, green, blue, alpha),
    // no padding: width * height * 4 bytes.
    std::vector<std::uint8_t> rgba;
};

// Either the image or, when there is none, why.
struct PngDecodeResult {
    std::optional<DecodedImage> image;
    // "<what>: <reason>"; empty when the image was decoded.
    std::string error;

    explicit operator bool() const { return image.has_value(); }
};

// Images wider or taller than this are refused rather than allocated.
inline constexpr int MaxPngSide = 4096;

// Any PNG colour type and bit depth becomes 8-bit RGBA: palettes and grey are
// expanded, a transparent colour becomes alpha, images without alpha get an
// opaque one and 16-bit samples keep their high byte. Gamma is not applied.
// Damaged data of any kind (a wrong signature, a cut-off file, a bad chunk
// CRC, a broken compressed stream) gives an error; `what` names the picture
// in its message.
PngDecodeResult DecodePng(std::span<const unsigned char> png, std::string_view what);

}  // namespace qinvara
