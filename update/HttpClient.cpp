#include "update/HttpClient.h"

namespace qinvara {

HttpClient::~HttpClient() {
    // The handle must go before the library is torn down.
    easy_.reset();
    if (libraryReady_) curl_global_cleanup();
}

CURL* HttpClient::Handle() {
    if (!libraryReady_) libraryReady_ = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!libraryReady_) return nullptr;
    if (!easy_) easy_.reset(curl_easy_init());
    return easy_.get();
}

}  // namespace qinvara
