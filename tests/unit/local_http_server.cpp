#include "tests/unit/local_http_server.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "update/HttpFetch.h"

extern char** environ;

namespace qinvara::testing {
namespace {

constexpr int kStartTimeoutMs = 60000;

// Reads the server's "NAME PORT" lines up to "ready".
std::map<std::string, int> ReadPorts(int fromServer) {
    std::map<std::string, int> ports;
    std::string pending;
    char buffer[512];
    for (;;) {
        pollfd ready{fromServer, POLLIN, 0};
        if (poll(&ready, 1, kStartTimeoutMs) <= 0) throw std::runtime_error("test server silent");
        ssize_t got = read(fromServer, buffer, sizeof buffer);
        if (got <= 0) throw std::runtime_error("test server ended before it was ready");
        pending.append(buffer, static_cast<std::size_t>(got));
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::istringstream line(pending.substr(0, end));
            pending.erase(0, end + 1);
            std::string name;
            int port = 0;
            line >> name >> port;
            if (name == "ready") return ports;
            ports[name] = port;
        }
    }
}

}  // namespace

LocalHttpServer& LocalHttpServer::Shared() {
    static LocalHttpServer server;
    return server;
}

LocalHttpServer::LocalHttpServer() {
    try {
        Start();
    } catch (...) {
        Stop();
        throw;
    }
}

void LocalHttpServer::Start() {
    for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy",
                             "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
        unsetenv(name);
    }

    std::string pattern = (std::filesystem::temp_directory_path() / "qinvara-http-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
    workDir_ = pattern;

    int toServer[2];
    int fromServer[2];
    if (pipe2(toServer, O_CLOEXEC) != 0 || pipe2(fromServer, O_CLOEXEC) != 0)
        throw std::runtime_error("no pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toServer[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromServer[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, toServer[1]);
    posix_spawn_file_actions_addclose(&actions, fromServer[0]);
    std::string python = "/usr/bin/python3";
    std::string script = QINVARA_HTTP_TEST_SERVER;
    char* argv[] = {python.data(), script.data(), workDir_.data(), nullptr};
    int spawned = posix_spawn(&pid_, python.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(toServer[0]);
    close(fromServer[1]);
    toServer_ = toServer[1];
    if (spawned != 0) {
        close(fromServer[0]);
        throw std::runtime_error("cannot start the test server");
    }
    try {
        ports_ = ReadPorts(fromServer[0]);
    } catch (...) {
        close(fromServer[0]);
        throw;
    }
    close(fromServer[0]);
}

LocalHttpServer::~LocalHttpServer() { Stop(); }

void LocalHttpServer::Stop() {
    if (toServer_ >= 0) close(toServer_);
    toServer_ = -1;
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
    pid_ = -1;
    std::error_code ignored;
    if (!workDir_.empty()) std::filesystem::remove_all(workDir_, ignored);
}

int LocalHttpServer::Port(const std::string& listener) const { return ports_.at(listener); }

std::string LocalHttpServer::Http(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(Port("http")) + path;
}

int LocalHttpServer::PlainConnections() const {
    Bytes count = HttpFetch(Text(Http("/connections")));
    return std::stoi(std::string(count.view()));
}

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

}  // namespace qinvara::testing
