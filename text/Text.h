// A string of bytes in the program's code page (GB18030, a superset of GBK).
// It ends at its first NUL byte, a missing text is the empty one, and two
// texts are equal when their bytes are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qinvara {

class Text {
  public:
    Text() = default;
    // A null pointer is the empty text.
    Text(const char* bytes) : bytes_(bytes ? bytes : "") {}  // NOLINT(google-explicit-constructor)
    // Takes the bytes before the first NUL, if any.
    explicit Text(std::string_view bytes) : bytes_(bytes.substr(0, bytes.find('\0'))) {}

    const char* c_str() const { return bytes_.c_str(); }
    std::string_view view() const { return bytes_; }
    std::size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    unsigned char operator[](std::size_t i) const { return static_cast<unsigned char>(bytes_[i]); }

    // Byte-for-byte, unsigned, case-sensitive.
    friend bool operator==(const Text& a, const Text& b) { return a.bytes_ == b.bytes_; }
    friend Text operator+(const Text& a, const Text& b) {
        Text joined;
        joined.bytes_.reserve(a.size() + b.size());
        joined.bytes_.append(a.bytes_).append(b.bytes_);
        return joined;
    }

  private:
    std::string bytes_;
};

}  // namespace qinvara
