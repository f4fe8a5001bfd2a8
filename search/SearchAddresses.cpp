#include "search/SearchAddresses.h"

#include "hosts.h"

namespace qinvara {

Text SearchUrl(const Text& query) {
    return Text("https://") + Text(MirrorHost) + Text("/webhp?hl=zh-CN#hl=zh-CN&q=") + query +
           Text("=?") + Text(SiteHost);
}

const std::array<Text, 5>& HomePageAddresses() {
    static const std::array<Text, 5> addresses{
        Text("https://") + Text(MirrorHost) + Text("/webhp?hl=zh-CN"),
        Text("https://") + Text(MirrorHost) + Text("/webhp?hl=en"),
        Text("https://") + Text(MirrorHost) + Text("/"),
        Text("http://") + Text(MirrorHost) + Text("/"),
        Text(""),
    };
    return addresses;
}

}  // namespace qinvara
