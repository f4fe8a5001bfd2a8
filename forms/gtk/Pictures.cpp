#include "forms/gtk/Pictures.h"

#include <cstring>

#include "assets/ArtworkImage.h"

namespace qinvara::forms {
namespace {

void FreePixels(guchar* pixels, gpointer /*data*/) { g_free(pixels); }

}  // namespace

bool Pictures::Load(std::string& error) {
    for (std::size_t i = 0; i < ArtworkCount; ++i) {
        auto which = static_cast<Artwork>(i);
        PngDecodeResult decoded = DecodeArtwork(which);
        if (!decoded) {
            error = decoded.error;
            return false;
        }
        const DecodedImage& image = *decoded.image;
        // Cairo wants premultiplied native-endian ARGB.
        cairo_surface_t* surface =
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
        surfaces_[i].reset(surface);
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
            error = std::string(ArtworkFileName(which)) + ": no memory for the picture";
            return false;
        }
        cairo_surface_flush(surface);
        unsigned char* rows = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        for (int y = 0; y < image.height; ++y) {
            auto* out =
                reinterpret_cast<std::uint32_t*>(rows + static_cast<std::ptrdiff_t>(y) * stride);
            const std::uint8_t* in =
                image.rgba.data() + static_cast<std::size_t>(y) * image.width * 4;
            for (int x = 0; x < image.width; ++x, in += 4) {
                std::uint32_t a = in[3];
                std::uint32_t r = in[0] * a / 255, g = in[1] * a / 255, b = in[2] * a / 255;
                out[x] = (a << 24) | (r << 16) | (g << 8) | b;
            }
        }
        cairo_surface_mark_dirty(surface);

        auto* copy = static_cast<guchar*>(g_memdup2(image.rgba.data(), image.rgba.size()));
        pixbufs_[i] = GObjectRef<GdkPixbuf>::Adopt(
            gdk_pixbuf_new_from_data(copy, GDK_COLORSPACE_RGB, TRUE, 8, image.width, image.height,
                                     image.width * 4, FreePixels, nullptr));
    }
    return true;
}

}  // namespace qinvara::forms
