// The proxy that the system's settings choose for an address: the same one
// the program's browser views use (GIO's default proxy resolver, which reads
// the desktop settings and the usual *_proxy variables).
#pragma once

#include <string>

namespace qinvara {

// A proxy address in libcurl's form ("http://host:port", "socks5h://..."),
// or empty for a direct connection. `uri` is "scheme://host[:port]/".
// Anything the resolver cannot answer, or answers with a kind of proxy that
// libcurl cannot use, means a direct connection.
std::string SystemProxyFor(const std::string& uri);

// True when `proxy` is an HTTP proxy, which is sent the whole address as the
// request target of a plain http request.
bool IsHttpProxy(const std::string& proxy);

}  // namespace qinvara
