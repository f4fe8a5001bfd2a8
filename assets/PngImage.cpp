#include "assets/PngImage.h"

#include <png.h>

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <utility>

namespace qinvara {
namespace {

constexpr std::size_t kSignatureSize = 8;
constexpr std::size_t kRgbaChannels = 4;

// What libpng's callbacks share with the decoder: the data being read, the
// reason of the error and the last warning, which often says more than the
// error ("Invalid IHDR data" after "Image width is zero in IHDR"). Plain data
// only, because libpng leaves its callbacks by longjmp.
struct ReadState {
    const unsigned char* data;
    std::size_t size;
    std::size_t offset;
    char error[160];
    char warning[160];
};

void ReadFromMemory(png_structp png, png_bytep out, std::size_t length) {
    auto* state = static_cast<ReadState*>(png_get_io_ptr(png));
    if (length > state->size - state->offset) {
        png_error(png, "the data ends early");
    }
    std::memcpy(out, state->data + state->offset, length);
    state->offset += length;
}

[[noreturn]] void KeepErrorAndLeave(png_structp png, png_const_charp message) {
    auto* state = static_cast<ReadState*>(png_get_error_ptr(png));
    std::snprintf(state->error, sizeof state->error, "%s", message ? message : "unknown error");
    png_longjmp(png, 1);
}

// Warnings alone concern data that libpng could still read; they are kept only
// to explain an error that may follow.
void KeepWarning(png_structp png, png_const_charp message) {
    auto* state = static_cast<ReadState*>(png_get_error_ptr(png));
    std::snprintf(state->warning, sizeof state->warning, "%s", message ? message : "");
}

// Owns libpng's read and info structures.
class PngReadHandles {
  public:
    explicit PngReadHandles(ReadState* state)
        : png_(
              png_create_read_struct(PNG_LIBPNG_VER_STRING, state, KeepErrorAndLeave, KeepWarning)),
          info_(png_ ? png_create_info_struct(png_) : nullptr) {}
    ~PngReadHandles() {
        if (png_) {
            png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
        }
    }
    PngReadHandles(const PngReadHandles&) = delete;
    PngReadHandles& operator=(const PngReadHandles&) = delete;

    bool ready() const { return png_ && info_; }
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

  private:
    png_structp png_;
    png_infop info_;
};

struct Layout {
    png_uint_32 width;
    png_uint_32 height;
    std::size_t row_bytes;
    int channels;
    int bit_depth;
};

// The two functions below hold the setjmp that libpng's errors come back to.
// A longjmp out of libpng lands in them and skips every frame in between, so
// neither they nor anything they call may own an object with a destructor.

// Reads the header and sets up the conversion to 8-bit RGBA.
bool ReadHeaderGuarded(png_structp png, png_infop info, Layout* layout) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    layout->width = png_get_image_width(png, info);
    layout->height = png_get_image_height(png, info);
    layout->row_bytes = png_get_rowbytes(png, info);
    layout->channels = png_get_channels(png, info);
    layout->bit_depth = png_get_bit_depth(png, info);
    return true;
}

// Reads every row and the chunks after the image data, up to the end chunk.
bool ReadImageGuarded(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

PngDecodeResult Failure(std::string_view what, std::string_view reason,
                        std::string_view detail = {}) {
    PngDecodeResult result;
    result.error.append(what).append(": ").append(reason);
    if (!detail.empty()) {
        result.error.append(" (").append(detail).append(")");
    }
    return result;
}

}  // namespace

PngDecodeResult DecodePng(std::span<const unsigned char> png, std::string_view what) {
    if (png.empty()) {
        return Failure(what, "no data");
    }
    if (png.size() < kSignatureSize || png_sig_cmp(png.data(), 0, kSignatureSize) != 0) {
        return Failure(what, "not a PNG file (wrong signature)");
    }

    ReadState state{png.data(), png.size(), 0, {}, {}};
    PngReadHandles handles(&state);
    if (!handles.ready()) {
        return Failure(what, "libpng could not start reading");
    }
    png_set_read_fn(handles.png(), &state, ReadFromMemory);
    png_set_user_limits(handles.png(), MaxPngSide, MaxPngSide);
    // The pictures are the program's own: any damage is an error, also in
    // chunks that libpng would otherwise skip.
    png_set_crc_action(handles.png(), PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    png_set_benign_errors(handles.png(), 0);

    Layout layout{};
    if (!ReadHeaderGuarded(handles.png(), handles.info(), &layout)) {
        return Failure(what, state.error, state.warning);
    }
    if (layout.channels != static_cast<int>(kRgbaChannels) || layout.bit_depth != 8 ||
        layout.row_bytes != std::size_t{layout.width} * kRgbaChannels) {
        return Failure(what, "the pixels could not be converted to 8-bit RGBA");
    }

    DecodedImage image;
    image.width = static_cast<int>(layout.width);
    image.height = static_cast<int>(layout.height);
    image.rgba.resize(layout.row_bytes * layout.height);
    std::vector<png_bytep> rows(layout.height);
    for (png_uint_32 y = 0; y < layout.height; ++y) {
        rows[y] = image.rgba.data() + y * layout.row_bytes;
    }
    if (!ReadImageGuarded(handles.png(), rows.data())) {
        return Failure(what, state.error, state.warning);
    }
    return PngDecodeResult{std::move(image), {}};
}

}  // namespace qinvara
