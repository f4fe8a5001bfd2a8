// A counted buffer of bytes: what a fetch brought back, NUL bytes and all.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace qinvara {

class Bytes {
  public:
    Bytes() = default;

    const char* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::string_view view() const { return {data_.get(), size_}; }

    // Makes room for at least `capacity` bytes; false when memory ran out,
    // in which case the bytes already held are kept.
    bool Reserve(std::size_t capacity) {
        if (capacity <= capacity_) return true;
        void* grown = std::realloc(data_.get(), capacity);
        if (grown == nullptr) return false;
        data_.release();
        data_.reset(static_cast<char*>(grown));
        capacity_ = capacity;
        return true;
    }

    // Appends, growing geometrically; false when memory ran out (nothing appended).
    bool Append(const char* bytes, std::size_t count) {
        if (count == 0) return true;
        if (size_ + count > capacity_) {
            std::size_t want = capacity_ < 4096 ? 4096 : capacity_ * 2;
            if (want < size_ + count) want = size_ + count;
            if (!Reserve(want) && !Reserve(size_ + count)) return false;
        }
        std::memcpy(data_.get() + size_, bytes, count);
        size_ += count;
        return true;
    }

  private:
    struct Free {
        void operator()(char* p) const { std::free(p); }
    };
    std::unique_ptr<char, Free> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace qinvara
