// Temporary: a plain http-only page fetch until the fetch engine lands in
// net/. Remove when it does.
#include <atomic>
#include <chrono>
#include <mutex>

#include "net/PageFetch.h"
#include "platform/Socket.h"

namespace net {

namespace {
std::atomic<bool> g_abandon{false};
std::mutex g_limitsMutex;
FetchLimits g_limits;
}  // namespace

FetchLimits DefaultFetchLimits() {
    std::lock_guard<std::mutex> lock(g_limitsMutex);
    return g_limits;
}
void SetDefaultFetchLimits(const FetchLimits& limits) {
    std::lock_guard<std::mutex> lock(g_limitsMutex);
    g_limits = limits;
}
void AbandonFetches() { g_abandon = true; }

PageLines CountPageLines(const std::string& url) { return CountPageLines(url, DefaultFetchLimits()); }

PageLines CountPageLines(const std::string& url, const FetchLimits& limits) {
    PageLines r;
    if (url.compare(0, 6, "http::") != 0) {
        r.failure = "the protocol is not supported";
        return r;
    }
    std::string rest = url.substr(6);
    std::string hostport = rest.substr(0, rest.find('/'));
    std::string path = rest.find('/') == std::string::npos ? "/" : rest.substr(rest.find('/'));
    std::string host = hostport.substr(0, hostport.find(':'));
    int port = hostport.find(':') == std::string::npos ? 80 : std::atoi(hostport.c_str() + hostport.find(':') + 1);
    std::vector<uint32_t> ips;
    static std::mutex resolving;  // the platform's look-up is not thread-safe
    std::unique_lock<std::mutex> lock(resolving);
    bool resolved = !host.empty() && platform::ResolveHostName(host, ips) && !ips.empty();
    lock.unlock();
    if (!resolved) {
        r.failure = "the host name " + host + " is not known";
        return r;
    }
    platform::SocketHandle s = platform::OpenSocket(true);
    if (g_abandon || !platform::ConnectSocket(s, ips[0], port, limits.connectMillis)) {
        platform::CloseSocket(s);
        r.failure = "the server refused the connection";
        return r;
    }
    std::string req = "GET " + path + " HTTP/1.0\r\nHost: " + host + "\r\n\r\n";
    platform::SendSocket(s, req.data(), static_cast<int32_t>(req.size()), 0);
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limits.deadlineMillis);
    std::string head;
    bool inBody = false, sawData = false;
    int32_t lines = 0;
    char buf[65536];
    for (;;) {
        if (g_abandon || std::chrono::steady_clock::now() > end) {
            platform::CloseSocket(s);
            r.failure = "the fetch took too long";
            return r;
        }
        if (platform::WaitReadable(s, 100) == 0) continue;
        int32_t n = platform::RecvSocket(s, buf, sizeof buf, 0);
        if (n <= 0) break;
        for (int32_t i = 0; i < n; ++i) {
            char c = buf[i];
            if (!inBody) {
                head += c;
                if (head.size() >= 4 && head.compare(head.size() - 4, 4, "\r\n\r\n") == 0) inBody = true;
                continue;
            }
            sawData = true;
            if (c == '\n' || c == 0) {
                ++lines;
                sawData = false;
            }
        }
    }
    platform::CloseSocket(s);
    if (sawData) ++lines;
    std::string status = head.substr(0, head.find('\r'));
    if (status.size() < 12 || status[9] != '2') {
        r.failure = "the server answered " + (status.size() > 9 ? status.substr(9) : std::string("nothing"));
        return r;
    }
    r.ok = true;
    r.lines = lines;
    return r;
}

}  // namespace net
