// An address that HttpFetch can request: split by libcurl's URL parser,
// scheme http or https, kept exactly as given (no percent-encoding added,
// dot segments left alone); its fragment is never part of a request.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <optional>
#include <string>

namespace qinvara {

class FetchAddress {
  public:
    // Empty when the address cannot be split or its scheme is neither http
    // nor https.
    static std::optional<FetchAddress> Parse(const char* address);

    // The parsed address for CURLOPT_CURLU: host, port, user name and
    // password come from here.
    CURLU* Handle() const { return url_.get(); }

    bool IsHttps() const { return https_; }

    // "/path?query" as given: the request target sent to the server itself.
    const std::string& OriginTarget() const { return originTarget_; }

    // "scheme://host[:port]" without user name or password: what decides
    // which proxy, if any, carries the request.
    const std::string& Origin() const { return origin_; }

    // Origin() + OriginTarget(): the request target sent to an HTTP proxy.
    std::string AbsoluteTarget() const { return origin_ + originTarget_; }

  private:
    struct UrlCleanup {
        void operator()(CURLU* url) const { curl_url_cleanup(url); }
    };

    std::unique_ptr<CURLU, UrlCleanup> url_;
    bool https_ = false;
    std::string origin_;
    std::string originTarget_;
};

}  // namespace qinvara
