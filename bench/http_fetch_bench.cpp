// How HttpFetch compares with the least a libcurl download can cost.
//
// A loopback server sends a 100 MiB body with and without Content-Length.
// Each measurement runs in a fresh child process: HttpFetch, or a floor that
// downloads the same body with libcurl into a buffer reserved for the whole
// body up front. The two alternate; the medians are compared. Peak memory is
// the child's VmHWM, as a ratio to the body. A 10 KiB body is also fetched
// many times in one process.
//
// Targets: time at most 1.2 x the floor, peak memory at most 1.3 x the body.
#include <curl/curl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "text/Text.h"
#include "update/HttpFetch.h"

namespace {

constexpr std::size_t kLargeBody = std::size_t{100} << 20;
constexpr std::size_t kSmallBody = std::size_t{10} << 10;
constexpr int kLargeRounds = 7;
constexpr int kSmallFetches = 200;
constexpr double kTimeTarget = 1.2;
constexpr double kMemoryTarget = 1.3;

// --- The loopback server: GET /length/N or /nolength/N ----------------------

bool SendAll(int socket, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t sent = send(socket, data, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

void Serve(int listener, const std::vector<char>& body) {
    for (;;) {
        int client = accept(listener, nullptr, nullptr);
        if (client < 0) continue;
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos) {
            ssize_t got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            head.append(buffer, static_cast<std::size_t>(got));
        }
        const bool withLength = head.rfind("GET /length/", 0) == 0;
        const std::size_t slash = head.find('/', 5);
        std::size_t size = std::strtoull(head.c_str() + slash + 1, nullptr, 10);
        size = std::min(size, body.size());
        std::string reply = "HTTP/1.0 200 OK\r\n";
        if (withLength) reply += "Content-Length: " + std::to_string(size) + "\r\n";
        reply += "\r\n";
        if (SendAll(client, reply.data(), reply.size())) SendAll(client, body.data(), size);
        close(client);
    }
}

struct Server {
    pid_t pid = -1;
    int port = 0;
};

// Forked before this process makes any thread.
Server StartServer() {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener, 16) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("server socket");
        std::exit(1);
    }
    Server server;
    server.port = ntohs(address.sin_port);
    server.pid = fork();
    if (server.pid == 0) {
        std::vector<char> body(kLargeBody);
        for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i % 251);
        Serve(listener, body);
        _exit(0);
    }
    close(listener);
    return server;
}

// --- The floor: libcurl into a buffer reserved for the whole body ----------

struct FloorBuffer {
    std::unique_ptr<char[]> data;
    std::size_t capacity = 0;
    std::size_t size = 0;
};

std::size_t FloorWrite(char* piece, std::size_t one, std::size_t count, void* target) {
    auto* buffer = static_cast<FloorBuffer*>(target);
    std::size_t length = one * count;
    if (buffer->size + length > buffer->capacity) return 0;
    std::memcpy(buffer->data.get() + buffer->size, piece, length);
    buffer->size += length;
    return length;
}

struct EasyCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

class Floor {
  public:
    Floor() : curl_(curl_easy_init()) {}
    std::size_t Fetch(const std::string& address, std::size_t expected) {
        FloorBuffer buffer;
        buffer.data = std::make_unique_for_overwrite<char[]>(expected);
        buffer.capacity = expected;
        curl_easy_reset(curl_.get());
        curl_easy_setopt(curl_.get(), CURLOPT_URL, address.c_str());
        curl_easy_setopt(curl_.get(), CURLOPT_HTTP_VERSION,
                         static_cast<long>(CURL_HTTP_VERSION_1_0));
        curl_easy_setopt(curl_.get(), CURLOPT_PROXY, "");
        curl_easy_setopt(curl_.get(), CURLOPT_BUFFERSIZE, 102400L);
        curl_easy_setopt(curl_.get(), CURLOPT_WRITEFUNCTION, &FloorWrite);
        curl_easy_setopt(curl_.get(), CURLOPT_WRITEDATA, &buffer);
        curl_easy_perform(curl_.get());
        return buffer.size;
    }

  private:
    std::unique_ptr<CURL, EasyCleanup> curl_;
};

// --- Measurements --------------------------------------------------------------

using Fetcher = std::function<std::size_t(const std::string&, std::size_t)>;

Fetcher HttpFetchFetcher() {
    return [](const std::string& address, std::size_t) {
        return qinvara::HttpFetch(qinvara::Text(address)).size();
    };
}

Fetcher FloorFetcher() {
    auto floor = std::make_shared<Floor>();
    return [floor](const std::string& address, std::size_t expected) {
        return floor->Fetch(address, expected);
    };
}

long StatusKib(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
    }
    return -1;
}

struct Sample {
    double seconds = 0;
    long peakKib = 0;      // VmHWM of the whole process
    long baselineKib = 0;  // VmRSS before the large fetch
    bool complete = false;
};

// One large fetch in a fresh process, after a small one has set up the client.
Sample MeasureInChild(bool floor, const std::string& base, bool withLength) {
    int ends[2];
    if (pipe(ends) != 0) std::exit(1);
    pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        Fetcher fetch = floor ? FloorFetcher() : HttpFetchFetcher();
        const std::string prefix = base + (withLength ? "/length/" : "/nolength/");
        fetch(prefix + std::to_string(kSmallBody), kSmallBody);
        Sample sample;
        sample.baselineKib = StatusKib("VmRSS:");
        const auto start = std::chrono::steady_clock::now();
        const std::size_t got = fetch(prefix + std::to_string(kLargeBody), kLargeBody);
        sample.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        sample.peakKib = StatusKib("VmHWM:");
        sample.complete = got == kLargeBody;
        ssize_t written = write(ends[1], &sample, sizeof sample);
        _exit(written == sizeof sample ? 0 : 1);
    }
    close(ends[1]);
    Sample sample;
    if (read(ends[0], &sample, sizeof sample) != sizeof sample) sample.complete = false;
    close(ends[0]);
    waitpid(child, nullptr, 0);
    return sample;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool ReportLarge(const std::string& base, bool withLength) {
    std::vector<double> fetchSeconds, floorSeconds, fetchPeak, floorPeak, fetchGrowth;
    bool complete = true;
    for (int round = 0; round < kLargeRounds; ++round) {
        // Alternate which goes first, so neither always meets a warmer machine.
        for (bool floor : {round % 2 == 0, round % 2 != 0}) {
            Sample sample = MeasureInChild(floor, base, withLength);
            complete = complete && sample.complete;
            const double body = static_cast<double>(kLargeBody) / 1024.0;
            (floor ? floorSeconds : fetchSeconds).push_back(sample.seconds);
            (floor ? floorPeak : fetchPeak).push_back(static_cast<double>(sample.peakKib) / body);
            if (!floor) {
                fetchGrowth.push_back(static_cast<double>(sample.peakKib - sample.baselineKib) /
                                      body);
            }
        }
    }
    const double timeRatio = Median(fetchSeconds) / Median(floorSeconds);
    const double peakRatio = Median(fetchPeak);
    std::printf(
        "100 MiB %-18s HttpFetch %7.1f ms  floor %7.1f ms  ratio %.3f (target <= %.1f)  "
        "peak %.3f x body (growth %.3f; floor %.3f) (target <= %.1f)%s\n",
        withLength ? "with length:" : "without length:", Median(fetchSeconds) * 1000,
        Median(floorSeconds) * 1000, timeRatio, kTimeTarget, peakRatio, Median(fetchGrowth),
        Median(floorPeak), kMemoryTarget, complete ? "" : "  INCOMPLETE BODY");
    return complete && timeRatio <= kTimeTarget && peakRatio <= kMemoryTarget;
}

bool ReportSmall(const std::string& base) {
    Fetcher fetch = HttpFetchFetcher();
    Fetcher floor = FloorFetcher();
    const std::string address = base + "/length/" + std::to_string(kSmallBody);
    fetch(address, kSmallBody);
    floor(address, kSmallBody);
    std::vector<double> fetchMicros, floorMicros;
    bool complete = true;
    for (int i = 0; i < kSmallFetches; ++i) {
        for (bool useFloor : {i % 2 == 0, i % 2 != 0}) {
            const auto start = std::chrono::steady_clock::now();
            const std::size_t got = (useFloor ? floor : fetch)(address, kSmallBody);
            const double micros =
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                    .count();
            (useFloor ? floorMicros : fetchMicros).push_back(micros);
            complete = complete && got == kSmallBody;
        }
    }
    const double ratio = Median(fetchMicros) / Median(floorMicros);
    std::printf("10 KiB in process:        HttpFetch %7.1f us  floor %7.1f us  ratio %.3f%s\n",
                Median(fetchMicros), Median(floorMicros), ratio,
                complete ? "" : "  INCOMPLETE BODY");
    return complete;
}

}  // namespace

int main() {
    Server server = StartServer();
    const std::string base = "http://127.0.0.1:" + std::to_string(server.port);
    bool met = ReportLarge(base, true);
    met = ReportLarge(base, false) && met;
    met = ReportSmall(base) && met;
    kill(server.pid, SIGTERM);
    waitpid(server.pid, nullptr, 0);
    std::printf("%s\n", met ? "all targets met" : "TARGET MISSED");
    return met ? 0 : 1;
}
