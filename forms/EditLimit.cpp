#include "forms/EditLimit.h"

#include "text/CodePage.h"

namespace qinvara::forms {
namespace {

std::size_t Utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;
}

}  // namespace

std::string FittingInsertion(std::string_view currentUtf8, std::string_view insertionUtf8,
                             std::size_t maxBytes) {
    std::size_t used = FromUtf8(currentUtf8).size();
    std::string fitting;
    std::size_t at = 0;
    while (at < insertionUtf8.size()) {
        std::size_t length = Utf8SequenceLength(static_cast<unsigned char>(insertionUtf8[at]));
        std::string_view character = insertionUtf8.substr(at, length);
        std::size_t bytes = FromUtf8(character).size();
        if (used + bytes > maxBytes) break;
        used += bytes;
        fitting.append(character);
        at += length;
    }
    return fitting;
}

}  // namespace qinvara::forms
