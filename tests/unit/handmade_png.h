// Small PNG files put together byte by byte, for feeding the decoder every
// colour type and every kind of damage.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace qinvara::testing {

using ByteVector = std::vector<unsigned char>;

struct PngHeader {
    std::uint32_t width;
    std::uint32_t height;
    std::uint8_t bit_depth;
    std::uint8_t colour_type;  // 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
    std::uint8_t interlace = 0;
};

inline constexpr std::size_t kNoChunk = static_cast<std::size_t>(-1);

std::uint32_t Crc32(std::span<const unsigned char> bytes);

// Length, type, data and CRC.
ByteVector PngChunk(std::string_view type, std::span<const unsigned char> data);

ByteVector HeaderChunkData(const PngHeader& header);

// A zlib stream that stores the bytes without compressing them.
ByteVector StoredZlib(std::span<const unsigned char> raw);

// Signature, IHDR, the given chunks, one IDAT with the scanlines (each led by
// its filter byte) stored, and IEND.
ByteVector HandmadePng(const PngHeader& header, std::span<const unsigned char> scanlines,
                       const std::vector<ByteVector>& chunks_before_data = {});

// Where the first chunk of the type starts (its length field), or kNoChunk.
std::size_t FindChunk(std::span<const unsigned char> png, std::string_view type);

// Recomputes the CRC of the chunk that starts at the offset, after its data
// has been changed on purpose.
void FixChunkCrc(ByteVector& png, std::size_t chunk_offset);

}  // namespace qinvara::testing
