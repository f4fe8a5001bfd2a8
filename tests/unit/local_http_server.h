// The local test servers of http_test_server.py, started once per test
// program and stopped when it ends.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <map>
#include <string>

namespace qinvara::testing {

class LocalHttpServer {
  public:
    // Started on first use. Also clears the proxy variables of this process,
    // so that the tests reach 127.0.0.1 directly.
    static LocalHttpServer& Shared();

    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;
    ~LocalHttpServer();

    // Port of a listener: "http", "https_good", "https_wrong_name",
    // "https_untrusted", "silent".
    int Port(const std::string& listener) const;

    // "http://127.0.0.1:PORT" + path on the plain listener.
    std::string Http(const std::string& path) const;

    // Where the certificates are; "bundle.pem" there is the system bundle
    // plus the test CA.
    const std::string& WorkDir() const { return workDir_; }

    // Connections the plain listener has taken so far (asked over a
    // connection of its own, which is not counted).
    int PlainConnections() const;

  private:
    LocalHttpServer();
    void Start();
    void Stop();

    std::string workDir_;
    pid_t pid_ = -1;
    int toServer_ = -1;  // closing it tells the server to exit
    std::map<std::string, int> ports_;
};

// Byte i is i % 251: the server's long bodies.
std::string Pattern(std::size_t size);

}  // namespace qinvara::testing
