// Runs one HttpFetch in a child process (http_fetch_probe) that may get a
// private view of the system: a certificate bundle that also trusts the test
// CA, a network without any route, proxy variables, a memory limit.
#pragma once

#include <sys/resource.h>

#include <string>
#include <vector>

namespace qinvara::testing {

struct Isolation {
    // Laid over the system's certificate bundle in a private mount namespace.
    std::string trustedBundle;
    // A network namespace of its own, with no interface up: nothing leaves.
    bool noNetwork = false;
    // "NAME=value" added to the child's environment.
    std::vector<std::string> environment;
    // Address-space limit in bytes; 0 for none.
    rlim_t addressSpace = 0;
};

struct ChildFetch {
    // False when the namespaces could not be made (no privilege): skip.
    bool isolated = true;
    // True when the child ended by returning from main with status 0.
    bool exitedCleanly = false;
    std::string body;
};

ChildFetch FetchInChild(const std::string& address, const Isolation& isolation);

}  // namespace qinvara::testing
