// Every picture of the program, decoded once at start and kept for the run
// as cairo surfaces (for painting) and pixbufs (for window icons).
#pragma once

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <array>
#include <memory>
#include <string>

#include "assets/Artwork.h"
#include "forms/gtk/GObjectRef.h"

namespace qinvara::forms {

class Pictures {
  public:
    // Decodes all artwork; on failure `error` says which picture and why.
    bool Load(std::string& error);
    cairo_surface_t* Surface(Artwork which) const {
        return surfaces_[static_cast<std::size_t>(which)].get();
    }
    GdkPixbuf* Pixbuf(Artwork which) const {
        return pixbufs_[static_cast<std::size_t>(which)].get();
    }

  private:
    struct DestroySurface {
        void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
    };
    std::array<std::unique_ptr<cairo_surface_t, DestroySurface>, ArtworkCount> surfaces_;
    std::array<GObjectRef<GdkPixbuf>, ArtworkCount> pixbufs_;
};

}  // namespace qinvara::forms
