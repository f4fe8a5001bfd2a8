#include "update/HttpFetch.h"

#include <curl/curl.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "update/FetchAddress.h"
#include "update/HttpClient.h"
#include "update/ResponseBody.h"
#include "update/SystemProxy.h"

namespace qinvara {
namespace {

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr int kMostRedirects = 10;
// A server that takes no connection, or takes one and then sends nothing,
// must not hold up the start for long; a body that keeps arriving is read
// to its end however long it takes.
constexpr long kConnectSeconds = 4;
constexpr long kStallSeconds = 4;
constexpr long kStallBytesPerSecond = 1;
// libcurl hands the body over in pieces of up to this many bytes.
constexpr long kPieceBytes = 102400;

struct HeaderListFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListFree>;

// Our only header, plus an empty "Proxy-Connection:" that keeps libcurl from
// adding its own when an HTTP proxy carries the request.
HeaderList RequestHeaders() {
    HeaderList list(curl_slist_append(nullptr, "Accept: */*"));
    if (!list) return list;
    curl_slist* extended = curl_slist_append(list.get(), "Proxy-Connection:");
    if (extended == nullptr) return nullptr;
    return list;
}

// Where a finished response sends the client next: a 3xx status with a
// location that libcurl could make an address of.
// A transfer ended at the body's announced length leaves libcurl's own
// answer unset, so the Location header is resolved against the address.
std::optional<std::string> RedirectTarget(CURL* curl, const FetchAddress& from,
                                          const ResponseBody& body) {
    long status = 0;
    char* location = nullptr;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (status < 300 || status >= 400) return std::nullopt;
    curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location);
    if (location != nullptr) return std::string(location);
    if (!body.Location()) return std::nullopt;
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> target(curl_url_dup(from.Handle()),
                                                               &curl_url_cleanup);
    char* resolved = nullptr;
    if (!target ||
        curl_url_set(target.get(), CURLUPART_URL, body.Location()->c_str(), 0) != CURLUE_OK ||
        curl_url_get(target.get(), CURLUPART_URL, &resolved, 0) != CURLUE_OK) {
        return std::nullopt;
    }
    std::string result(resolved);
    curl_free(resolved);
    return result;
}

struct Response {
    Bytes body;
    std::optional<std::string> redirect;
};

// One GET of one address: a fresh connection, closed afterwards.
Response FetchOnce(CURL* curl, const FetchAddress& address) {
    HeaderList headers = RequestHeaders();
    if (!headers) return {};

    const std::string proxy = SystemProxyFor(address.Origin() + "/");
    // The target is set verbatim so that the address goes out exactly as
    // given; libcurl would percent-encode blanks and high bytes in the path.
    const bool proxyWantsWholeAddress = !address.IsHttps() && IsHttpProxy(proxy);
    const std::string target =
        proxyWantsWholeAddress ? address.AbsoluteTarget() : address.OriginTarget();

    curl_easy_reset(curl);
    ResponseBody body(curl);
    body.Attach();
    curl_easy_setopt(curl, CURLOPT_CURLU, address.Handle());
    curl_easy_setopt(curl, CURLOPT_REQUEST_TARGET, target.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    // Redirects are followed here, one request at a time, because a verbatim
    // target would otherwise be sent to every address of the chain.
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    // The resolver has decided; libcurl must not apply its own variables.
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, kStallBytesPerSecond);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
    // libcurl would refuse a zero, negative or garbled Content-Length; the
    // body collector ends the body at a usable one itself, and otherwise
    // the body is whatever arrives until the server closes.
    curl_easy_setopt(curl, CURLOPT_IGNORE_CONTENT_LENGTH, 1L);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kPieceBytes);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);

    const CURLcode result = curl_easy_perform(curl);

    Response response;
    const bool complete =
        result == CURLE_OK || (result == CURLE_WRITE_ERROR && body.ReachedAnnouncedLength());
    if (complete) response.redirect = RedirectTarget(curl, address, body);
    // A redirect's own body is not the result: the next address's is.
    if (!response.redirect) response.body = std::move(body.Received());
    // Nothing of this request may outlive it in the kept handle.
    curl_easy_setopt(curl, CURLOPT_CURLU, nullptr);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    return response;
}

}  // namespace

Bytes HttpFetch(const Text& address) {
    if (address.empty()) return {};
    std::optional<FetchAddress> next = FetchAddress::Parse(address.c_str());
    if (!next) return {};

    static HttpClient client;  // kept until the process ends
    CURL* curl = client.Handle();
    if (curl == nullptr) return {};

    for (int redirects = 0;; ++redirects) {
        Response response = FetchOnce(curl, *next);
        if (!response.redirect) return std::move(response.body);
        if (redirects == kMostRedirects) return {};
        next = FetchAddress::Parse(response.redirect->c_str());
        if (!next) return {};
    }
}

}  // namespace qinvara
