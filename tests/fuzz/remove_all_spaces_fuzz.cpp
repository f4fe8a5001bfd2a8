// Feeds RemoveAllSpaces arbitrary bytes and checks what must hold for every
// query: nothing grows, no space survives where a character starts, the
// result is what the plain walk over the bytes gives, the argument stays as
// it was. Built with ASan, UBSan and checked string_view indexing, so a read
// past the end of the query stops the run.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "search/RemoveAllSpaces.h"

namespace {

constexpr unsigned char kSpace = 0x20;
constexpr unsigned char kIdeographicSpaceByte = 0xA1;

bool LeadsAPair(unsigned char byte) { return byte >= 0x80; }

// The walk over the bytes, written as plainly as it can be.
std::string ReferenceWalk(std::string_view in) {
    std::string out;
    std::size_t i = 0;
    while (i < in.size()) {
        const auto first = static_cast<unsigned char>(in[i]);
        if (!LeadsAPair(first)) {
            if (first != kSpace) out += in[i];
            i += 1;
        } else if (i + 1 == in.size()) {
            break;
        } else {
            const auto second = static_cast<unsigned char>(in[i + 1]);
            if (first != kIdeographicSpaceByte || second != kIdeographicSpaceByte) {
                out += in[i];
                out += in[i + 1];
            }
            i += 2;
        }
    }
    return out;
}

// Walked as characters, a cleaned query holds no space, no ideographic
// space and no lead byte without its partner.
bool IsClean(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto first = static_cast<unsigned char>(text[i]);
        if (!LeadsAPair(first)) {
            if (first == kSpace) return false;
            i += 1;
            continue;
        }
        if (i + 1 == text.size()) return false;
        if (first == kIdeographicSpaceByte &&
            static_cast<unsigned char>(text[i + 1]) == kIdeographicSpaceByte) {
            return false;
        }
        i += 2;
    }
    return true;
}

// Every output byte comes from the input, in order.
bool IsSubsequence(std::string_view part, std::string_view whole) {
    std::size_t at = 0;
    for (char c : part) {
        at = whole.find(c, at);
        if (at == std::string_view::npos) return false;
        ++at;
    }
    return true;
}

void Require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "RemoveAllSpaces: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A Text ends at its first NUL; the bytes before it are the query.
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string_view query = bytes.substr(0, bytes.find('\0'));

    const qinvara::Text input(query);
    const std::string before(input.view());
    const qinvara::Text cleaned = qinvara::RemoveAllSpaces(input);

    Require(input.view() == before, "the argument changed");
    Require(cleaned.size() <= input.size(), "the result is longer than the query");
    Require(std::strlen(cleaned.c_str()) == cleaned.size(), "the result holds a NUL");
    Require(cleaned.view() == ReferenceWalk(query), "the result differs from the plain walk");
    Require(IsClean(cleaned.view()), "a space or a lone lead byte survived");
    Require(IsSubsequence(cleaned.view(), query),
            "the result holds bytes not taken from the query");
    Require(qinvara::RemoveAllSpaces(cleaned) == cleaned, "cleaning twice changed the result");
    return 0;
}
