#include "update/ResponseBody.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace qinvara {
namespace {

// Content-Length only sizes the buffer; a larger claim is not trusted with
// one allocation, and the buffer then grows as the body arrives.
constexpr std::size_t kLargestReservation = std::size_t{1} << 30;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

std::string_view TrimBlanks(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n";
    std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// A positive decimal number and nothing else; anything else gives nothing.
std::optional<std::size_t> PositiveNumber(std::string_view text) {
    std::size_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

void ResponseBody::Attach() {
    curl_easy_setopt(handle_, CURLOPT_HEADERFUNCTION, &ResponseBody::OnHeader);
    curl_easy_setopt(handle_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &ResponseBody::OnBody);
    curl_easy_setopt(handle_, CURLOPT_WRITEDATA, this);
}

std::size_t ResponseBody::OnHeader(char* line, std::size_t size, std::size_t count, void* self) {
    static_cast<ResponseBody*>(self)->NoteHeader(std::string_view(line, size * count));
    return size * count;
}

std::size_t ResponseBody::OnBody(char* piece, std::size_t size, std::size_t count, void* self) {
    // A short count makes libcurl end the transfer; what was kept stays.
    return static_cast<ResponseBody*>(self)->Keep(piece, size * count) ? size * count : 0;
}

void ResponseBody::NoteHeader(std::string_view line) {
    constexpr std::string_view kLengthName = "Content-Length:";
    // Each status line starts a response of its own (an interim one may
    // come first).
    constexpr std::string_view kLocationName = "Location:";
    if (StartsWithNoCase(line, "HTTP/")) {
        contentLength_.reset();
        location_.reset();
    } else if (StartsWithNoCase(line, kLengthName)) {
        contentLength_ = PositiveNumber(TrimBlanks(line.substr(kLengthName.size())));
    } else if (StartsWithNoCase(line, kLocationName)) {
        location_ = std::string(TrimBlanks(line.substr(kLocationName.size())));
    }
}

bool ResponseBody::Keep(const char* piece, std::size_t length) {
    if (!firstPieceSeen_) {
        firstPieceSeen_ = true;
        // One allocation for the whole body when its length is known; when
        // it fails the buffer simply grows as pieces arrive.
        if (contentLength_ && *contentLength_ <= kLargestReservation) {
            bytes_.Reserve(*contentLength_);
        }
    }
    // A usable length ends the body, as it would for any HTTP client: a
    // server that keeps the connection open afterwards must not hold up the
    // start, and bytes past the length are not part of the body.
    if (contentLength_)
        length = std::min(length, *contentLength_ - std::min(*contentLength_, bytes_.size()));
    if (!bytes_.Append(piece, length)) return false;
    if (contentLength_ && bytes_.size() >= *contentLength_) {
        reachedLength_ = true;
        return false;
    }
    return true;
}

}  // namespace qinvara
