#include "update/SystemProxy.h"

#include <gio/gio.h>

#include <memory>
#include <optional>
#include <string_view>

namespace qinvara {
namespace {

struct StrvFree {
    void operator()(gchar** list) const { g_strfreev(list); }
};
struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The resolver's answer in libcurl's terms; nothing when libcurl has no
// such kind of proxy.
std::optional<std::string> ForCurl(std::string_view proxy) {
    if (proxy == "direct://") return std::string();
    for (std::string_view kind : {"http://", "https://", "socks4://", "socks4a://"}) {
        if (StartsWith(proxy, kind)) return std::string(proxy);
    }
    // GIO lets a SOCKS 5 proxy resolve host names, and tries SOCKS 5 first
    // for a plain "socks://" entry.
    for (std::string_view kind : {"socks5://", "socks://"}) {
        if (StartsWith(proxy, kind)) {
            return "socks5h://" + std::string(proxy.substr(kind.size()));
        }
    }
    return std::nullopt;
}

}  // namespace

std::string SystemProxyFor(const std::string& uri) {
    GProxyResolver* resolver = g_proxy_resolver_get_default();  // not owned
    if (resolver == nullptr) return {};
    GError* rawError = nullptr;
    std::unique_ptr<gchar*, StrvFree> proxies(
        g_proxy_resolver_lookup(resolver, uri.c_str(), nullptr, &rawError));
    std::unique_ptr<GError, ErrorFree> error(rawError);
    if (!proxies) return {};
    // The resolver lists its choices best first.
    for (gchar** entry = proxies.get(); *entry != nullptr; ++entry) {
        if (std::optional<std::string> proxy = ForCurl(*entry)) return *proxy;
    }
    return {};
}

bool IsHttpProxy(const std::string& proxy) {
    return StartsWith(proxy, "http://") || StartsWith(proxy, "https://");
}

}  // namespace qinvara
