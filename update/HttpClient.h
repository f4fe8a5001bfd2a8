// The HTTP client of the run: libcurl set up once and one easy handle that
// is made on the first fetch and kept until the process ends.
#pragma once

#include <curl/curl.h>

#include <memory>

namespace qinvara {

class HttpClient {
  public:
    HttpClient() = default;
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;
    ~HttpClient();

    // The kept handle, made on first use; null when it cannot be made, in
    // which case the next call tries again.
    CURL* Handle();

  private:
    struct EasyCleanup {
        void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
    };

    bool libraryReady_ = false;
    std::unique_ptr<CURL, EasyCleanup> easy_;
};

}  // namespace qinvara
