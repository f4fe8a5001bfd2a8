// Collects the body of one HTTP response from libcurl's callbacks.
#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "text/Bytes.h"

namespace qinvara {

class ResponseBody {
  public:
    explicit ResponseBody(CURL* handle) : handle_(handle) {}

    // Installs the header and write callbacks on the handle.
    void Attach();

    // What arrived so far; the caller may take it.
    Bytes& Received() { return bytes_; }

    // The whole announced body arrived; the transfer was ended there, so
    // libcurl reports a write error that is none.
    bool ReachedAnnouncedLength() const { return reachedLength_; }

    // The Location header of the last response, as sent.
    const std::optional<std::string>& Location() const { return location_; }

  private:
    static std::size_t OnHeader(char* line, std::size_t size, std::size_t count, void* self);
    static std::size_t OnBody(char* piece, std::size_t size, std::size_t count, void* self);

    void NoteHeader(std::string_view line);
    bool Keep(const char* piece, std::size_t length);

    CURL* handle_;
    bool firstPieceSeen_ = false;
    // The announced length of the body, when the response gives a usable one.
    std::optional<std::size_t> contentLength_;
    bool reachedLength_ = false;
    std::optional<std::string> location_;
    Bytes bytes_;
};

}  // namespace qinvara
