#include "tests/unit/handmade_png.h"

#include <algorithm>
#include <array>

namespace qinvara::testing {
namespace {

constexpr std::array<unsigned char, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kStoredBlockLimit = 0xFFFF;

void AppendBigEndian(ByteVector& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<unsigned char>(value >> shift));
    }
}

std::uint32_t ReadBigEndian(std::span<const unsigned char> bytes) {
    return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
           std::uint32_t{bytes[2]} << 8 | std::uint32_t{bytes[3]};
}

std::uint32_t Adler32(std::span<const unsigned char> bytes) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (unsigned char byte : bytes) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

}  // namespace

std::uint32_t Crc32(std::span<const unsigned char> bytes) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
        }
    }
    return ~crc;
}

ByteVector PngChunk(std::string_view type, std::span<const unsigned char> data) {
    ByteVector chunk;
    AppendBigEndian(chunk, static_cast<std::uint32_t>(data.size()));
    chunk.insert(chunk.end(), type.begin(), type.end());
    chunk.insert(chunk.end(), data.begin(), data.end());
    AppendBigEndian(chunk, Crc32(std::span(chunk).subspan(4)));
    return chunk;
}

ByteVector HeaderChunkData(const PngHeader& header) {
    ByteVector data;
    AppendBigEndian(data, header.width);
    AppendBigEndian(data, header.height);
    data.insert(data.end(), {header.bit_depth, header.colour_type, 0, 0, header.interlace});
    return data;
}

ByteVector StoredZlib(std::span<const unsigned char> raw) {
    ByteVector stream = {0x78, 0x01};
    std::size_t offset = 0;
    do {
        const std::size_t length = std::min(kStoredBlockLimit, raw.size() - offset);
        const bool last = offset + length == raw.size();
        stream.push_back(last ? 1 : 0);
        stream.push_back(static_cast<unsigned char>(length));
        stream.push_back(static_cast<unsigned char>(length >> 8));
        stream.push_back(static_cast<unsigned char>(~length));
        stream.push_back(static_cast<unsigned char>(~length >> 8));
        stream.insert(stream.end(), raw.begin() + offset, raw.begin() + offset + length);
        offset += length;
    } while (offset < raw.size());
    AppendBigEndian(stream, Adler32(raw));
    return stream;
}

ByteVector HandmadePng(const PngHeader& header, std::span<const unsigned char> scanlines,
                       const std::vector<ByteVector>& chunks_before_data) {
    ByteVector png(kSignature.begin(), kSignature.end());
    auto append = [&png](const ByteVector& bytes) {
        png.insert(png.end(), bytes.begin(), bytes.end());
    };
    append(PngChunk("IHDR", HeaderChunkData(header)));
    for (const ByteVector& chunk : chunks_before_data) {
        append(chunk);
    }
    append(PngChunk("IDAT", StoredZlib(scanlines)));
    append(PngChunk("IEND", {}));
    return png;
}

std::size_t FindChunk(std::span<const unsigned char> png, std::string_view type) {
    std::size_t offset = kSignature.size();
    while (offset + 8 <= png.size()) {
        const std::uint32_t length = ReadBigEndian(png.subspan(offset));
        if (std::equal(type.begin(), type.end(), png.begin() + offset + 4)) {
            return offset;
        }
        offset += 12 + std::size_t{length};
    }
    return kNoChunk;
}

void FixChunkCrc(ByteVector& png, std::size_t chunk_offset) {
    const std::uint32_t length = ReadBigEndian(std::span(png).subspan(chunk_offset));
    const std::size_t crc_offset = chunk_offset + 8 + length;
    ByteVector crc;
    AppendBigEndian(crc, Crc32(std::span(png).subspan(chunk_offset + 4, 4 + length)));
    std::copy(crc.begin(), crc.end(), png.begin() + crc_offset);
}

}  // namespace qinvara::testing
