#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "assets/Artwork.h"
#include "assets/PngImage.h"
#include "tests/unit/handmade_png.h"

namespace qinvara {
namespace {

using testing::ByteVector;
using testing::FindChunk;
using testing::FixChunkCrc;
using testing::HandmadePng;
using testing::HeaderChunkData;
using testing::kNoChunk;
using testing::PngChunk;
using testing::PngHeader;

constexpr std::uint8_t kGrey = 0;
constexpr std::uint8_t kRgb = 2;
constexpr std::uint8_t kPalette = 3;
constexpr std::uint8_t kGreyAlpha = 4;
constexpr std::uint8_t kRgba = 6;

struct Rgba {
    std::uint8_t r, g, b, a;
    friend bool operator==(const Rgba&, const Rgba&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Rgba& p) {
        return out << "RGBA(" << +p.r << "," << +p.g << "," << +p.b << "," << +p.a << ")";
    }
};

std::vector<Rgba> PixelsOf(const DecodedImage& image) {
    std::vector<Rgba> pixels;
    for (std::size_t i = 0; i + 3 < image.rgba.size(); i += 4) {
        pixels.push_back({image.rgba[i], image.rgba[i + 1], image.rgba[i + 2], image.rgba[i + 3]});
    }
    return pixels;
}

// --- Every colour type and bit depth comes out as 8-bit RGBA ---------------

struct ConversionCase {
    const char* name;
    PngHeader header;
    ByteVector scanlines;  // each row led by its filter byte
    std::vector<ByteVector> chunks;
    std::vector<Rgba> expected;  // row after row
    friend void PrintTo(const ConversionCase& c, std::ostream* out) { *out << c.name; }
};

class PngConversionTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(PngConversionTest, GivesEightBitRgba) {
    const ConversionCase& c = GetParam();
    const ByteVector png = HandmadePng(c.header, c.scanlines, c.chunks);

    const PngDecodeResult result = DecodePng(png, "test.png");

    ASSERT_TRUE(result) << result.error;
    EXPECT_TRUE(result.error.empty());
    EXPECT_EQ(result.image->width, static_cast<int>(c.header.width));
    EXPECT_EQ(result.image->height, static_cast<int>(c.header.height));
    EXPECT_EQ(PixelsOf(*result.image), c.expected);
}

ByteVector Palette(std::initializer_list<unsigned char> rgb) {
    return PngChunk("PLTE", ByteVector(rgb));
}
ByteVector Transparency(std::initializer_list<unsigned char> bytes) {
    return PngChunk("tRNS", ByteVector(bytes));
}

const ConversionCase kConversionCases[] = {
    {"Rgb8",
     {2, 1, 8, kRgb},
     {0, 10, 20, 30, 200, 150, 100},
     {},
     {{10, 20, 30, 255}, {200, 150, 100, 255}}},
    {"Rgba8",
     {2, 1, 8, kRgba},
     {0, 1, 2, 3, 4, 250, 251, 252, 0},
     {},
     {{1, 2, 3, 4}, {250, 251, 252, 0}}},
    {"Grey8", {2, 1, 8, kGrey}, {0, 0x00, 0x80}, {}, {{0, 0, 0, 255}, {128, 128, 128, 255}}},
    {"Grey1",
     {3, 1, 1, kGrey},
     {0, 0b1010'0000},
     {},
     {{255, 255, 255, 255}, {0, 0, 0, 255}, {255, 255, 255, 255}}},
    {"Grey4", {2, 1, 4, kGrey}, {0, 0x3F}, {}, {{0x33, 0x33, 0x33, 255}, {255, 255, 255, 255}}},
    {"GreyAlpha8",
     {2, 1, 8, kGreyAlpha},
     {0, 100, 50, 200, 255},
     {},
     {{100, 100, 100, 50}, {200, 200, 200, 255}}},
    {"Palette8",
     {3, 1, 8, kPalette},
     {0, 2, 0, 1},
     {Palette({255, 0, 0, 0, 255, 0, 0, 0, 255})},
     {{0, 0, 255, 255}, {255, 0, 0, 255}, {0, 255, 0, 255}}},
    // Entries that the transparency chunk leaves out are opaque.
    {"Palette2WithTransparency",
     {3, 1, 2, kPalette},
     {0, 0b00'01'10'00},
     {Palette({9, 8, 7, 6, 5, 4, 3, 2, 1}), Transparency({0, 128})},
     {{9, 8, 7, 0}, {6, 5, 4, 128}, {3, 2, 1, 255}}},
    {"RgbWithTransparentColour",
     {2, 1, 8, kRgb},
     {0, 10, 20, 30, 10, 20, 31},
     {Transparency({0, 10, 0, 20, 0, 30})},
     {{10, 20, 30, 0}, {10, 20, 31, 255}}},
    {"GreyWithTransparentGrey",
     {2, 1, 8, kGrey},
     {0, 0x80, 0x81},
     {Transparency({0, 0x80})},
     {{128, 128, 128, 0}, {129, 129, 129, 255}}},
    // Sixteen-bit samples keep their high byte.
    {"Rgb16",
     {1, 1, 16, kRgb},
     {0, 0xAB, 0x12, 0xCD, 0x34, 0xEF, 0x56},
     {},
     {{0xAB, 0xCD, 0xEF, 255}}},
    {"Rgba16",
     {1, 1, 16, kRgba},
     {0, 0x01, 0xFF, 0x02, 0xFF, 0x03, 0xFF, 0x7F, 0x01},
     {},
     {{0x01, 0x02, 0x03, 0x7F}}},
    {"Grey16", {1, 1, 16, kGrey}, {0, 0x12, 0x34}, {}, {{0x12, 0x12, 0x12, 255}}},
    // The second row is stored as its difference to the first ("up" filter).
    {"FilteredRows",
     {1, 2, 8, kRgb},
     {0, 10, 20, 30, 2, 5, 5, 5},
     {},
     {{10, 20, 30, 255}, {15, 25, 35, 255}}},
    // Adam7 in a 2x2 image: pass 1 holds (0,0), pass 6 (1,0), pass 7 the second row.
    {"Interlaced",
     {2, 2, 8, kRgb, 1},
     {0, 1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 4, 4, 4},
     {},
     {{1, 1, 1, 255}, {2, 2, 2, 255}, {3, 3, 3, 255}, {4, 4, 4, 255}}},
};

INSTANTIATE_TEST_SUITE_P(ColourTypes, PngConversionTest, ::testing::ValuesIn(kConversionCases),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Damaged data is an error, never a crash -------------------------------

// A small valid file with an ancillary chunk, so damage in each kind of chunk
// can be tried.
ByteVector SmallRgbPng() {
    const ByteVector text = {'T', 'i', 't', 'l', 'e', 0, 'x'};
    return HandmadePng({2, 2, 8, kRgb}, ByteVector{0, 1, 2, 3, 4, 5, 6, 0, 7, 8, 9, 10, 11, 12},
                       {PngChunk("tEXt", text)});
}

ByteVector EmbeddedPng() {
    const auto bytes = ArtworkBytes(Artwork::MainBackground);
    return ByteVector(bytes.begin(), bytes.end());
}

ByteVector Cut(ByteVector png, std::size_t length) {
    png.resize(length);
    return png;
}

// Flips a bit in the chunk's data (or, with the data's length as the index,
// in its CRC), and makes the CRC right again only when asked.
ByteVector Damage(ByteVector png, const char* chunk, std::size_t index, bool fix_crc) {
    const std::size_t offset = FindChunk(png, chunk);
    if (offset == kNoChunk) {
        return {};
    }
    png.at(offset + 8 + index) ^= 0x10;
    if (fix_crc) {
        FixChunkCrc(png, offset);
    }
    return png;
}

ByteVector WithImageData(ByteVector zlib_stream) {
    ByteVector png = SmallRgbPng();
    const std::size_t offset = FindChunk(png, "IDAT");
    const std::size_t end = FindChunk(png, "IEND");
    const ByteVector idat = PngChunk("IDAT", zlib_stream);
    png.erase(png.begin() + offset, png.begin() + end);
    png.insert(png.begin() + offset, idat.begin(), idat.end());
    return png;
}

ByteVector WithHeader(const PngHeader& header) {
    return HandmadePng(header, ByteVector{0, 1, 2, 3});
}

// A black 8-bit grey image with all its data, so only its size can be wrong.
ByteVector BlackGreyImage(std::uint32_t width, std::uint32_t height) {
    return HandmadePng({width, height, 8, kGrey}, ByteVector((width + 1) * height, 0));
}

struct DamageCase {
    const char* name;
    std::function<ByteVector()> make;
    friend void PrintTo(const DamageCase& c, std::ostream* out) { *out << c.name; }
};

class PngDamageTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(PngDamageTest, GivesAnErrorNamingThePicture) {
    const ByteVector png = GetParam().make();

    const PngDecodeResult result = DecodePng(png, "back_normal.png");

    EXPECT_FALSE(result);
    EXPECT_FALSE(result.image.has_value());
    const std::string prefix = "back_normal.png: ";
    ASSERT_GT(result.error.size(), prefix.size()) << result.error;
    EXPECT_EQ(result.error.substr(0, prefix.size()), prefix);
}

const std::size_t kHeaderDataSize = 13;
const std::size_t kEndChunkSize = 12;

const DamageCase kDamageCases[] = {
    {"Empty", [] { return ByteVector{}; }},
    {"SignatureOnly", [] { return Cut(EmbeddedPng(), 8); }},
    {"SignatureCut", [] { return Cut(EmbeddedPng(), 5); }},
    {"WrongSignature",
     [] {
         ByteVector png = EmbeddedPng();
         png[1] = 'Q';
         return png;
     }},
    {"NotAPngAtAll", [] { return ByteVector{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}; }},
    {"CutInHeader", [] { return Cut(EmbeddedPng(), 20); }},
    {"CutInImageData",
     [] {
         ByteVector png = EmbeddedPng();
         return Cut(png, png.size() / 2);
     }},
    {"EndChunkMissing",
     [] {
         ByteVector png = EmbeddedPng();
         return Cut(png, png.size() - kEndChunkSize);
     }},
    {"HeaderCrcWrong", [] { return Damage(EmbeddedPng(), "IHDR", kHeaderDataSize, false); }},
    {"HeaderDataChanged", [] { return Damage(EmbeddedPng(), "IHDR", 9, false); }},
    {"ImageDataCrcWrong", [] { return Damage(EmbeddedPng(), "IDAT", 40, false); }},
    {"TextChunkCrcWrong", [] { return Damage(SmallRgbPng(), "tEXt", 2, false); }},
    {"ImageDataStreamChecksumWrong",
     [] {
         // The last byte of the image data is the stream's Adler-32.
         ByteVector png = SmallRgbPng();
         const std::size_t offset = FindChunk(png, "IDAT");
         const std::size_t data_size = FindChunk(png, "IEND") - offset - 12;
         return Damage(png, "IDAT", data_size - 1, true);
     }},
    {"ImageDataStreamInvalidBlock",
     [] {
         return WithImageData({0x78, 0x01, 0xFF, 0xFF, 0xFF});
     }},
    {"ImageDataStreamNotZlib",
     [] {
         return WithImageData({0x00, 0x00, 0x01, 0x02, 0x03});
     }},
    {"ImageDataTooShort",
     [] {
         return WithImageData(testing::StoredZlib(ByteVector{0, 1, 2}));
     }},
    {"ImageDataLongerThanTheImage",
     [] { return WithImageData(testing::StoredZlib(ByteVector(40, 0))); }},
    {"ImageDataMissing",
     [] {
         ByteVector png = SmallRgbPng();
         const std::size_t offset = FindChunk(png, "IDAT");
         png.erase(png.begin() + offset, png.begin() + FindChunk(png, "IEND"));
         return png;
     }},
    {"ZeroWidth",
     [] {
         return WithHeader({0, 1, 8, kGrey});
     }},
    {"TooWide", [] { return BlackGreyImage(MaxPngSide + 1, 1); }},
    {"TooTall", [] { return BlackGreyImage(1, MaxPngSide + 1); }},
    {"HugeBothWays",
     [] {
         return WithHeader({0x7FFF'FFFF, 0x7FFF'FFFF, 8, kRgba});
     }},
    {"UnknownColourType",
     [] {
         return WithHeader({1, 1, 8, 5});
     }},
    {"BitDepthNotAllowedForRgb",
     [] {
         return WithHeader({1, 1, 4, kRgb});
     }},
    {"PaletteMissing",
     [] {
         return WithHeader({1, 1, 8, kPalette});
     }},
};

INSTANTIATE_TEST_SUITE_P(Damage, PngDamageTest, ::testing::ValuesIn(kDamageCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The damage cases must start from files that decode, or they would prove nothing.
TEST(PngDamageBaseTest, UndamagedFilesDecode) {
    for (const ByteVector& png : {SmallRgbPng(), EmbeddedPng()}) {
        const PngDecodeResult result = DecodePng(png, "base.png");
        EXPECT_TRUE(result) << result.error;
    }
}

// libpng names the faulty header field only in a warning before its error.
TEST(PngDecodeTest, ErrorSaysWhichHeaderFieldIsWrong) {
    const PngDecodeResult result = DecodePng(WithHeader({0, 1, 8, kGrey}), "test.png");

    ASSERT_FALSE(result);
    EXPECT_NE(result.error.find("width is zero"), std::string::npos) << result.error;
}

TEST(PngDecodeTest, LargestAllowedSidesDecode) {
    for (auto [width, height] : {std::pair{MaxPngSide, 1}, {1, MaxPngSide}}) {
        const PngDecodeResult result = DecodePng(BlackGreyImage(width, height), "test.png");

        ASSERT_TRUE(result) << result.error;
        EXPECT_EQ(result.image->width, width);
        EXPECT_EQ(result.image->height, height);
    }
}

TEST(PngDecodeTest, BytesAfterTheEndChunkAreIgnored) {
    ByteVector png = SmallRgbPng();
    png.insert(png.end(), {1, 2, 3, 4, 5});

    const PngDecodeResult result = DecodePng(png, "test.png");

    ASSERT_TRUE(result) << result.error;
    EXPECT_EQ(PixelsOf(*result.image).back(), (Rgba{10, 11, 12, 255}));
}

}  // namespace
}  // namespace qinvara
