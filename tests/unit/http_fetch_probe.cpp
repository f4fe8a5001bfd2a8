// Fetches the address given as its one argument with HttpFetch and writes
// the body to standard output: lets a test run a fetch in a process of its
// own (private namespaces, proxy variables, a memory limit).
#include <unistd.h>

#include <cstddef>

#include "text/Text.h"
#include "update/HttpFetch.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    qinvara::Bytes body = qinvara::HttpFetch(qinvara::Text(argv[1]));
    // Plain writes: after running out of memory nothing more may be allocated.
    std::size_t written = 0;
    while (written < body.size()) {
        ssize_t count = write(STDOUT_FILENO, body.data() + written, body.size() - written);
        if (count <= 0) return 3;
        written += static_cast<std::size_t>(count);
    }
    return 0;
}
