// The program's pictures, built into the binary as PNG files so that the
// program finds them wherever it is moved.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace qinvara {

// The order is that of the list in assets/CMakeLists.txt, which the build
// checks against these values.
enum class Artwork {
    MainBackground,
    BackNormal,
    BackHover,
    BackPressed,
    ForwardNormal,
    ForwardHover,
    ForwardPressed,
    HomeNormal,
    HomeHover,
    HomePressed,
    MinimizeNormal,
    MinimizeHover,
    MinimizePressed,
    CloseNormal,
    CloseHover,
    ClosePressed,
    SearchNormal,
    SearchHover,
    SearchPressed,
    ProgramIcon,
    BlueG16,
    BlueG32,
};

inline constexpr std::size_t ArtworkCount = static_cast<std::size_t>(Artwork::BlueG32) + 1;

// The picture's PNG file, as it lies in assets/.
std::span<const unsigned char> ArtworkBytes(Artwork which);

// The picture's file name ("back_normal.png"), to name it in messages.
std::string_view ArtworkFileName(Artwork which);

}  // namespace qinvara
