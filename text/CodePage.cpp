#include "text/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace qinvara {
namespace {

class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(
                       -1)) {  // NOLINT(performance-no-int-to-ptr): iconv's failure value
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " +
                                     to);
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts everything; each byte the source code page rejects becomes `replacement`.
    std::string Convert(std::string_view in, std::string_view replacement) {
        std::string out;
        out.resize(in.size() * 2 + 16);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());  // iconv's prototype; it does not write.
        std::size_t srcLeft = in.size();
        std::size_t used = 0;
        while (srcLeft > 0) {
            char* dst = out.data() + used;
            std::size_t dstLeft = out.size() - used;
            std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            used = out.size() - dstLeft;
            if (rc != static_cast<std::size_t>(-1)) break;
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
            } else {  // EILSEQ, or EINVAL for a sequence cut off at the end
                if (out.size() - used < replacement.size())
                    out.resize(out.size() * 2 + replacement.size());
                out.replace(used, replacement.size(), replacement);
                used += replacement.size();
                ++src;
                --srcLeft;
                iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            }
        }
        out.resize(used);
        return out;
    }

  private:
    iconv_t cd_;
};

constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";
constexpr std::string_view kGb18030Replacement = "\x84\x31\xA4\x37";

}  // namespace

std::string ToUtf8(const Text& text) {
    thread_local Converter toUtf8("UTF-8", "GB18030");
    return toUtf8.Convert(text.view(), kUtf8Replacement);
}

Text FromUtf8(std::string_view utf8) {
    thread_local Converter fromUtf8("GB18030", "UTF-8");
    return Text(fromUtf8.Convert(utf8, kGb18030Replacement));
}

}  // namespace qinvara
