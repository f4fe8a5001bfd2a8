#include "tests/unit/isolated_fetch.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

extern char** environ;

namespace qinvara::testing {
namespace {

constexpr int kCannotIsolate = 77;
constexpr auto kChildDeadline = std::chrono::seconds(120);
constexpr const char* kSystemBundle = "/etc/ssl/certs/ca-certificates.crt";

// Only async-signal-safe calls between fork and exec.
[[noreturn]] void RunChild(const Isolation& isolation, int output, char* const argv[],
                           char* const envp[]) {
    int namespaces = 0;
    if (!isolation.trustedBundle.empty()) namespaces |= CLONE_NEWNS;
    if (isolation.noNetwork) namespaces |= CLONE_NEWNET;
    if (namespaces != 0 && unshare(namespaces) != 0) _exit(kCannotIsolate);
    if (!isolation.trustedBundle.empty()) {
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount(isolation.trustedBundle.c_str(), kSystemBundle, nullptr, MS_BIND, nullptr) != 0) {
            _exit(kCannotIsolate);
        }
    }
    if (isolation.addressSpace != 0) {
        rlimit limit{isolation.addressSpace, isolation.addressSpace};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(kCannotIsolate);
    }
    if (dup2(output, STDOUT_FILENO) < 0) _exit(126);
    execve(argv[0], argv, envp);
    _exit(127);
}

}  // namespace

ChildFetch FetchInChild(const std::string& address, const Isolation& isolation) {
    std::string probe = QINVARA_HTTP_FETCH_PROBE;
    std::string target = address;
    char* argv[] = {probe.data(), target.data(), nullptr};

    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) environment.emplace_back(*entry);
    environment.insert(environment.end(), isolation.environment.begin(),
                       isolation.environment.end());
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
    pid_t child = fork();
    if (child < 0) throw std::runtime_error("no fork");
    if (child == 0) {
        close(pipeEnds[0]);
        RunChild(isolation, pipeEnds[1], argv, envp.data());
    }
    close(pipeEnds[1]);

    ChildFetch result;
    const auto deadline = std::chrono::steady_clock::now() + kChildDeadline;
    char buffer[65536];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd readable{pipeEnds[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
            kill(child, SIGKILL);  // a fetch that never ends is a failure
            break;
        }
        ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got <= 0) break;
        result.body.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeEnds[0]);

    int status = 0;
    waitpid(child, &status, 0);
    result.isolated = !(WIFEXITED(status) && WEXITSTATUS(status) == kCannotIsolate);
    result.exitedCleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

}  // namespace qinvara::testing
