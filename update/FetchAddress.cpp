#include "update/FetchAddress.h"

namespace qinvara {
namespace {

// Keeps the address as given: no dot-segment removal, blanks allowed.
constexpr unsigned int kParseFlags = CURLU_PATH_AS_IS | CURLU_ALLOW_SPACE;

struct CurlFree {
    void operator()(char* text) const { curl_free(text); }
};
using CurlText = std::unique_ptr<char, CurlFree>;

// One part of `url`, or nothing when the address has no such part.
std::optional<std::string> Part(CURLU* url, CURLUPart part, unsigned int flags = 0) {
    char* raw = nullptr;
    if (curl_url_get(url, part, &raw, flags) != CURLUE_OK) return std::nullopt;
    CurlText owned(raw);
    return std::string(owned.get());
}

}  // namespace

std::optional<FetchAddress> FetchAddress::Parse(const char* address) {
    FetchAddress parsed;
    parsed.url_.reset(curl_url());
    CURLU* url = parsed.url_.get();
    if (url == nullptr || curl_url_set(url, CURLUPART_URL, address, kParseFlags) != CURLUE_OK) {
        return std::nullopt;
    }

    std::optional<std::string> scheme = Part(url, CURLUPART_SCHEME);
    if (!scheme || (*scheme != "http" && *scheme != "https")) return std::nullopt;
    parsed.https_ = *scheme == "https";

    std::optional<std::string> host = Part(url, CURLUPART_HOST);
    std::optional<std::string> path = Part(url, CURLUPART_PATH);
    if (!host || host->empty() || !path) return std::nullopt;

    // A present but empty query ("/p?") is sent as given.
    parsed.originTarget_ = *path;
    if (std::optional<std::string> query = Part(url, CURLUPART_QUERY)) {
        parsed.originTarget_ += '?';
        parsed.originTarget_ += *query;
    }

    // The port only when the address names one, as a browser would write it.
    parsed.origin_ = *scheme + "://" + *host;
    if (std::optional<std::string> port = Part(url, CURLUPART_PORT)) {
        parsed.origin_ += ':';
        parsed.origin_ += *port;
    }
    return parsed;
}

}  // namespace qinvara
