#include "search/RemoveAllSpaces.h"

#include <string>

namespace qinvara {

Text RemoveAllSpaces(const Text& text) {
    std::string_view in = text.view();
    std::string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size();) {
        auto lead = static_cast<unsigned char>(in[i]);
        if (lead < 0x80) {
            if (lead != ' ') out.push_back(in[i]);
            ++i;
            continue;
        }
        if (i + 1 == in.size()) break;  // a lead byte without its partner
        auto trail = static_cast<unsigned char>(in[i + 1]);
        if (!(lead == 0xA1 && trail == 0xA1)) out.append(in.substr(i, 2));
        i += 2;
    }
    return Text(out);
}

}  // namespace qinvara
