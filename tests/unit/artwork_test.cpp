#include "assets/Artwork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "assets/ArtworkImage.h"

namespace qinvara {
namespace {

struct Rgba {
    std::uint8_t r, g, b, a = 255;
    friend bool operator==(const Rgba&, const Rgba&) = default;
    friend auto operator<=>(const Rgba&, const Rgba&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Rgba& p) {
        return out << "RGBA(" << +p.r << "," << +p.g << "," << +p.b << "," << +p.a << ")";
    }
};

constexpr Rgba kWhite{255, 255, 255};
constexpr Rgba kStripBlue{0, 68, 131};
constexpr Rgba kStripBottom{32, 91, 147};
constexpr Rgba kShadeOuter{98, 140, 179};
constexpr Rgba kShadeInner{246, 248, 251};
constexpr Rgba kGoogleBlue{66, 133, 244};
constexpr Rgba kGoogleRed{234, 67, 53};
constexpr Rgba kGoogleYellow{251, 188, 5};
constexpr Rgba kGoogleGreen{52, 168, 83};

std::ostream& operator<<(std::ostream& out, Artwork which) { return out << ArtworkFileName(which); }

// Every picture is decoded once for all tests.
const DecodedImage& Decoded(Artwork which) {
    static const auto images = [] {
        std::map<Artwork, DecodedImage> decoded;
        for (std::size_t i = 0; i < ArtworkCount; ++i) {
            const auto which = static_cast<Artwork>(i);
            PngDecodeResult result = DecodeArtwork(which);
            decoded[which] = result ? std::move(*result.image) : DecodedImage{};
        }
        return decoded;
    }();
    return images.at(which);
}

Rgba PixelAt(const DecodedImage& image, int x, int y) {
    const auto i = (static_cast<std::size_t>(y) * image.width + x) * 4;
    return {image.rgba.at(i), image.rgba.at(i + 1), image.rgba.at(i + 2), image.rgba.at(i + 3)};
}

struct Box {
    int left, top, right, bottom;  // inclusive
};

std::ostream& operator<<(std::ostream& out, const Box& box) {
    return out << "(" << box.left << "," << box.top << ")-(" << box.right << "," << box.bottom
               << ")";
}

std::set<Rgba> ColoursIn(const DecodedImage& image, const Box& box) {
    std::set<Rgba> colours;
    for (int y = box.top; y <= box.bottom; ++y) {
        for (int x = box.left; x <= box.right; ++x) {
            colours.insert(PixelAt(image, x, y));
        }
    }
    return colours;
}

// --- Each picture is there, decodes, and has its size ---------------------

struct SizeCase {
    Artwork which;
    const char* file_name;
    int width, height;
    friend void PrintTo(const SizeCase& c, std::ostream* out) { *out << c.file_name; }
};

const SizeCase kSizeCases[] = {
    {Artwork::MainBackground, "main_background.png", 1000, 600},
    {Artwork::BackNormal, "back_normal.png", 29, 26},
    {Artwork::BackHover, "back_hover.png", 29, 26},
    {Artwork::BackPressed, "back_pressed.png", 29, 26},
    {Artwork::ForwardNormal, "forward_normal.png", 29, 26},
    {Artwork::ForwardHover, "forward_hover.png", 29, 26},
    {Artwork::ForwardPressed, "forward_pressed.png", 29, 26},
    {Artwork::HomeNormal, "home_normal.png", 29, 26},
    {Artwork::HomeHover, "home_hover.png", 29, 26},
    {Artwork::HomePressed, "home_pressed.png", 29, 26},
    {Artwork::MinimizeNormal, "minimize_normal.png", 20, 20},
    {Artwork::MinimizeHover, "minimize_hover.png", 20, 20},
    {Artwork::MinimizePressed, "minimize_pressed.png", 20, 20},
    {Artwork::CloseNormal, "close_normal.png", 20, 20},
    {Artwork::CloseHover, "close_hover.png", 20, 20},
    {Artwork::ClosePressed, "close_pressed.png", 20, 20},
    {Artwork::SearchNormal, "search_normal.png", 70, 30},
    {Artwork::SearchHover, "search_hover.png", 70, 30},
    {Artwork::SearchPressed, "search_pressed.png", 70, 30},
    {Artwork::ProgramIcon, "program_icon.png", 128, 128},
    {Artwork::BlueG16, "blue_g_16.png", 16, 16},
    {Artwork::BlueG32, "blue_g_32.png", 32, 32},
};

TEST(ArtworkTableTest, SizeTableCoversEveryPicture) {
    std::set<Artwork> covered;
    for (const SizeCase& c : kSizeCases) {
        covered.insert(c.which);
    }
    EXPECT_EQ(covered.size(), ArtworkCount);
    EXPECT_EQ(std::size(kSizeCases), ArtworkCount);
}

class ArtworkSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ArtworkSizeTest, DecodesToItsSize) {
    const SizeCase& c = GetParam();
    EXPECT_EQ(ArtworkFileName(c.which), c.file_name);

    const PngDecodeResult result = DecodeArtwork(c.which);

    ASSERT_TRUE(result) << result.error;
    EXPECT_EQ(result.image->width, c.width);
    EXPECT_EQ(result.image->height, c.height);
    EXPECT_EQ(result.image->rgba.size(), static_cast<std::size_t>(c.width) * c.height * 4);
}

INSTANTIATE_TEST_SUITE_P(AllPictures, ArtworkSizeTest, ::testing::ValuesIn(kSizeCases),
                         [](const auto& info) {
                             std::string name = info.param.file_name;
                             return name.substr(0, name.find('.'));
                         });

// --- Stated colours at chosen pixels ---------------------------------------

struct PixelCase {
    Artwork which;
    int x, y;
    Rgba expected;
};

std::ostream& operator<<(std::ostream& out, const PixelCase& c) {
    return out << c.which << " at (" << c.x << "," << c.y << ")";
}

class ArtworkPixelTest : public ::testing::TestWithParam<PixelCase> {};

TEST_P(ArtworkPixelTest, HasItsColour) {
    const PixelCase& c = GetParam();
    EXPECT_EQ(PixelAt(Decoded(c.which), c.x, c.y), c.expected);
}

const PixelCase kBackgroundPixels[] = {
    // The title strip and its lighter bottom row.
    {Artwork::MainBackground, 0, 0, kStripBlue},
    {Artwork::MainBackground, 999, 0, kStripBlue},
    {Artwork::MainBackground, 500, 27, kStripBlue},
    {Artwork::MainBackground, 0, 28, kStripBottom},
    {Artwork::MainBackground, 500, 28, kStripBottom},
    {Artwork::MainBackground, 999, 28, kStripBottom},
    // The border below the strip.
    {Artwork::MainBackground, 0, 29, kStripBlue},
    {Artwork::MainBackground, 0, 598, kStripBlue},
    {Artwork::MainBackground, 999, 29, kStripBlue},
    {Artwork::MainBackground, 999, 300, kStripBlue},
    {Artwork::MainBackground, 0, 599, kStripBlue},
    {Artwork::MainBackground, 500, 599, kStripBlue},
    {Artwork::MainBackground, 999, 599, kStripBlue},
    // The shading inside the right border.
    {Artwork::MainBackground, 998, 29, kShadeOuter},
    {Artwork::MainBackground, 998, 598, kShadeOuter},
    {Artwork::MainBackground, 997, 29, kShadeInner},
    {Artwork::MainBackground, 997, 598, kShadeInner},
    // The page.
    {Artwork::MainBackground, 1, 29, kWhite},
    {Artwork::MainBackground, 996, 29, kWhite},
    {Artwork::MainBackground, 1, 598, kWhite},
    {Artwork::MainBackground, 996, 598, kWhite},
    {Artwork::MainBackground, 500, 300, kWhite},
};

INSTANTIATE_TEST_SUITE_P(MainBackground, ArtworkPixelTest, ::testing::ValuesIn(kBackgroundPixels));

// A title button's three pictures: the motif in each state's colour at pixels
// that the motif covers, on the strip blue.
struct TitleButton {
    std::array<Artwork, 3> pictures;  // normal, hover, pressed
    std::array<Rgba, 3> colours;
    std::vector<std::pair<int, int>> motif_pixels;
    int width, height;
};

const TitleButton kTitleButtons[] = {
    {{Artwork::BackNormal, Artwork::BackHover, Artwork::BackPressed},
     {{{163, 190, 232}, {116, 136, 166}, {186, 216, 220}}},
     {{14, 13}, {9, 13}, {20, 13}},
     29,
     26},
    {{Artwork::ForwardNormal, Artwork::ForwardHover, Artwork::ForwardPressed},
     {{{163, 190, 232}, {116, 136, 166}, {186, 216, 220}}},
     {{14, 13}, {19, 13}, {8, 13}},
     29,
     26},
    {{Artwork::HomeNormal, Artwork::HomeHover, Artwork::HomePressed},
     {{{217, 217, 218}, {246, 248, 250}, {122, 189, 251}}},
     {{14, 8}, {14, 13}, {9, 20}, {19, 20}},
     29,
     26},
    {{Artwork::MinimizeNormal, Artwork::MinimizeHover, Artwork::MinimizePressed},
     {{kWhite, {255, 144, 0}, {194, 0, 0}}},
     {{10, 14}, {6, 14}, {13, 15}},
     20,
     20},
    {{Artwork::CloseNormal, Artwork::CloseHover, Artwork::ClosePressed},
     {{kWhite, {255, 96, 0}, {167, 0, 0}}},
     {{9, 9}, {10, 10}, {6, 6}, {13, 6}},
     20,
     20},
};

std::vector<PixelCase> TitleButtonPixels() {
    std::vector<PixelCase> cases;
    for (const TitleButton& button : kTitleButtons) {
        for (std::size_t state = 0; state < 3; ++state) {
            const Artwork which = button.pictures[state];
            for (auto [x, y] : button.motif_pixels) {
                cases.push_back({which, x, y, button.colours[state]});
            }
            const int right = button.width - 1;
            const int bottom = button.height - 1;
            for (auto [x, y] : {std::pair{0, 0}, {right, 0}, {0, bottom}, {right, bottom}}) {
                cases.push_back({which, x, y, kStripBlue});
            }
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(TitleButtons, ArtworkPixelTest, ::testing::ValuesIn(TitleButtonPixels()));

const PixelCase kSearchAndIconPixels[] = {
    {Artwork::SearchNormal, 0, 0, {0, 160, 242}},
    {Artwork::SearchNormal, 69, 29, {0, 160, 242}},
    {Artwork::SearchHover, 0, 0, {0, 69, 225}},
    {Artwork::SearchHover, 69, 29, {0, 69, 225}},
    {Artwork::SearchPressed, 0, 0, {0, 68, 131}},
    {Artwork::SearchPressed, 69, 29, {0, 68, 131}},
    // The G: its bar, its left side and its bottom; the white top of the square.
    {Artwork::ProgramIcon, 85, 64, kGoogleBlue},
    {Artwork::ProgramIcon, 30, 64, kGoogleBlue},
    {Artwork::ProgramIcon, 64, 98, kGoogleBlue},
    {Artwork::ProgramIcon, 64, 8, kWhite},
    // The blue square reaches the middle of each edge.
    {Artwork::BlueG16, 8, 0, kGoogleBlue},
    {Artwork::BlueG16, 8, 15, kGoogleBlue},
    {Artwork::BlueG16, 0, 8, kGoogleBlue},
    {Artwork::BlueG32, 16, 0, kGoogleBlue},
    {Artwork::BlueG32, 16, 31, kGoogleBlue},
    {Artwork::BlueG32, 31, 16, kGoogleBlue},
};

INSTANTIATE_TEST_SUITE_P(SearchAndIcons, ArtworkPixelTest,
                         ::testing::ValuesIn(kSearchAndIconPixels));

// --- Areas of one colour ----------------------------------------------------

struct UniformCase {
    const char* name;
    Artwork which;
    Box box;
    Rgba colour;
    friend void PrintTo(const UniformCase& c, std::ostream* out) { *out << c.name; }
};

class ArtworkUniformTest : public ::testing::TestWithParam<UniformCase> {};

TEST_P(ArtworkUniformTest, HoldsOnlyItsColour) {
    const UniformCase& c = GetParam();
    EXPECT_EQ(ColoursIn(Decoded(c.which), c.box), std::set<Rgba>{c.colour}) << c.box;
}

const UniformCase kUniformCases[] = {
    // The strip holds nothing but the product name; the title buttons and the
    // About label sit right of it.
    {"StripAboveName", Artwork::MainBackground, {0, 0, 999, 4}, kStripBlue},
    {"StripBelowName", Artwork::MainBackground, {0, 21, 999, 27}, kStripBlue},
    {"StripLeftOfName", Artwork::MainBackground, {0, 0, 10, 27}, kStripBlue},
    {"StripUnderControls", Artwork::MainBackground, {164, 0, 999, 27}, kStripBlue},
    {"StripBottomRow", Artwork::MainBackground, {0, 28, 999, 28}, kStripBottom},
    {"LeftBorder", Artwork::MainBackground, {0, 29, 0, 599}, kStripBlue},
    {"RightBorder", Artwork::MainBackground, {999, 29, 999, 599}, kStripBlue},
    {"BottomBorder", Artwork::MainBackground, {0, 599, 999, 599}, kStripBlue},
    {"OuterShading", Artwork::MainBackground, {998, 29, 998, 598}, kShadeOuter},
    {"InnerShading", Artwork::MainBackground, {997, 29, 997, 598}, kShadeInner},
    // The page is white everywhere outside the logo's box.
    {"PageAboveLogo", Artwork::MainBackground, {1, 29, 996, 120}, kWhite},
    {"PageBelowLogo", Artwork::MainBackground, {1, 218, 996, 598}, kWhite},
    {"PageLeftOfLogo", Artwork::MainBackground, {1, 29, 386, 598}, kWhite},
    {"PageRightOfLogo", Artwork::MainBackground, {674, 29, 996, 598}, kWhite},
    // The search button's field around its text.
    {"SearchNormalEdge", Artwork::SearchNormal, {0, 0, 69, 3}, {0, 160, 242}},
    {"SearchHoverEdge", Artwork::SearchHover, {0, 26, 69, 29}, {0, 69, 225}},
    {"SearchPressedEdge", Artwork::SearchPressed, {0, 0, 3, 29}, {0, 68, 131}},
};

INSTANTIATE_TEST_SUITE_P(Areas, ArtworkUniformTest, ::testing::ValuesIn(kUniformCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Things drawn somewhere inside an area ---------------------------------

struct ContainsCase {
    const char* name;
    Artwork which;
    Box box;
    std::function<bool(Rgba)> matches;
    friend void PrintTo(const ContainsCase& c, std::ostream* out) { *out << c.name; }
};

class ArtworkContainsTest : public ::testing::TestWithParam<ContainsCase> {};

TEST_P(ArtworkContainsTest, HasAMatchingPixel) {
    const ContainsCase& c = GetParam();
    const std::set<Rgba> colours = ColoursIn(Decoded(c.which), c.box);
    EXPECT_TRUE(std::ranges::any_of(colours, c.matches)) << c.box;
}

std::function<bool(Rgba)> Is(Rgba colour) {
    return [colour](Rgba p) { return p == colour; };
}

bool IsBlueInk(Rgba p) { return p.a == 255 && p.b >= 128 && p.b > p.r + 64 && p.b > p.g + 32; }

const ContainsCase kContainsCases[] = {
    {"ProductName", Artwork::MainBackground, {11, 5, 163, 20}, Is(kWhite)},
    {"LogoBlue", Artwork::MainBackground, {387, 121, 673, 217}, Is(kGoogleBlue)},
    {"LogoRed", Artwork::MainBackground, {387, 121, 673, 217}, Is(kGoogleRed)},
    {"LogoYellow", Artwork::MainBackground, {387, 121, 673, 217}, Is(kGoogleYellow)},
    {"LogoGreen", Artwork::MainBackground, {387, 121, 673, 217}, Is(kGoogleGreen)},
    {"MakerName", Artwork::MainBackground, {600, 190, 656, 212}, IsBlueInk},
    {"SearchNormalText", Artwork::SearchNormal, {20, 8, 49, 21}, Is(kWhite)},
    {"SearchHoverText", Artwork::SearchHover, {20, 8, 49, 21}, Is(kWhite)},
    {"SearchPressedText", Artwork::SearchPressed, {20, 8, 49, 21}, Is(kWhite)},
    {"BlueG16Letter", Artwork::BlueG16, {4, 4, 11, 11}, Is(kWhite)},
    {"BlueG32Letter", Artwork::BlueG32, {8, 8, 23, 23}, Is(kWhite)},
};

INSTANTIATE_TEST_SUITE_P(Marks, ArtworkContainsTest, ::testing::ValuesIn(kContainsCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The logo's letters, left to right, in the logo's colours.
TEST(ArtworkLogoTest, LettersRunInTheLogosColours) {
    const DecodedImage& page = Decoded(Artwork::MainBackground);
    const std::array logo_colours = {kGoogleBlue, kGoogleRed, kGoogleYellow, kGoogleGreen};
    std::vector<Rgba> sequence;
    for (int x = 387; x <= 673; ++x) {
        for (Rgba colour : ColoursIn(page, {x, 121, x, 217})) {
            const bool in_logo = std::ranges::find(logo_colours, colour) != logo_colours.end();
            if (in_logo && (sequence.empty() || sequence.back() != colour)) {
                sequence.push_back(colour);
            }
        }
    }
    EXPECT_EQ(sequence, (std::vector<Rgba>{kGoogleBlue, kGoogleRed, kGoogleYellow, kGoogleBlue,
                                           kGoogleGreen, kGoogleRed}));
}

// --- Icons with soft corners ------------------------------------------------

class SoftCornerTest : public ::testing::TestWithParam<Artwork> {};

TEST_P(SoftCornerTest, CornersFadeOutAndTheMiddleIsOpaque) {
    const DecodedImage& icon = Decoded(GetParam());
    ASSERT_GT(icon.width, 0);
    const int last = icon.width - 1;
    for (auto [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}}) {
        EXPECT_EQ(PixelAt(icon, x, y).a, 0) << "corner " << x << "," << y;
    }
    EXPECT_EQ(PixelAt(icon, icon.width / 2, icon.height / 2).a, 255);
    // Between a corner and the middle of the top edge the alpha rises through
    // partly transparent values.
    std::set<int> partial;
    for (int x = 0; x <= icon.width / 2; ++x) {
        const int alpha = PixelAt(icon, x, 0).a;
        if (alpha > 0 && alpha < 255) {
            partial.insert(alpha);
        }
    }
    EXPECT_GE(partial.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Icons, SoftCornerTest,
                         ::testing::Values(Artwork::ProgramIcon, Artwork::BlueG16,
                                           Artwork::BlueG32));

}  // namespace
}  // namespace qinvara
