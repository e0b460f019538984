// Line counting over HTTP, the way the update cycle counts a page, against a
// loopback HTTP server that serves generated pages from memory.
//
//   net_bench serve <ip> <port>          serve /100k, /1m, /10m until /quit
//   net_bench count <url> <repeats>      count the lines of a stream URL
//                                        ("http::..." or "https::...") as
//                                        the watcher does (CountPageLines)
//   net_bench readlines <url> <repeats>  open the URL as a stream, ReadLine
//                                        until Eof, close
//   net_bench cycle <url-file> <cycles>  the update cycle's fetches of the
//                                        stream URLs in the file (one a
//                                        line), through the program's fetch
//                                        queue, `cycles` times over
// count and readlines print the line count and the best time in
// milliseconds; cycle prints "ok=N lines=L ms=T" per cycle.
//
// bench/net-bench.sh runs them, natively and under Wine, against curl.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>

#include <fstream>
#include <vector>

#include "app/FetchQueue.h"
#include "net/HttpStream.h"
#include "net/PageFetch.h"
#include "platform/Socket.h"
#include "platform/Tls.h"
#include "stream/StreamFactory.h"

namespace {

// Lines of 1 to 200 characters in a fixed pseudo-random pattern.
std::string MakePage(size_t bytes) {
    std::string page;
    page.reserve(bytes + 256);
    uint32_t state = 12345;
    while (page.size() < bytes) {
        state = state * 1103515245u + 12345u;
        size_t length = 1 + (state >> 16) % 200;
        for (size_t i = 0; i < length; ++i) page += static_cast<char>('a' + (i * 7 + length) % 26);
        page += (state & 0x100) ? "\r\n" : "\n";
    }
    return page;
}

bool SendAll(platform::SocketHandle s, const char* data, size_t size) {
    while (size > 0) {
        int32_t chunk = static_cast<int32_t>(size < (1u << 20) ? size : (1u << 20));
        int32_t n = platform::SendSocket(s, data, chunk, 0);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

int Serve(const char* ipText, int port) {
    int a, b, c, d;
    if (std::sscanf(ipText, "%d.%d.%d.%d", &a, &b, &c, &d) != 4 || a != 127) {
        std::fprintf(stderr, "serve: loopback address 127.x.y.z expected\n");
        return 2;
    }
    std::map<std::string, std::string> pages = {
        {"/100k", MakePage(100 * 1024)}, {"/1m", MakePage(1024 * 1024)}, {"/10m", MakePage(10 * 1024 * 1024)}};
    platform::StartSocketLibrary();
    platform::SocketHandle listener = platform::OpenSocket(true);
    platform::SetSocketReuseAddress(listener);
    uint32_t ip = (uint32_t(a) << 24) | (uint32_t(b) << 16) | (uint32_t(c) << 8) | uint32_t(d);
    if (!platform::BindSocket(listener, ip, port) || !platform::ListenSocket(listener, 64)) {
        std::fprintf(stderr, "serve: cannot listen on %s:%d\n", ipText, port);
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        platform::SocketHandle client = platform::AcceptSocket(listener);
        if (client == platform::kNoSocket) continue;
        std::string head;
        char buf[4096];
        while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
            int32_t n = platform::RecvSocket(client, buf, sizeof buf, 0);
            if (n <= 0) break;
            head.append(buf, static_cast<size_t>(n));
        }
        std::string path;
        if (head.compare(0, 4, "GET ") == 0) path = head.substr(4, head.find(' ', 4) - 4);
        if (path == "/quit") {
            platform::CloseSocket(client);
            break;
        }
        auto page = pages.find(path);
        std::string reply;
        if (page == pages.end()) {
            reply = "HTTP/1.0 404 Not Found\r\nContent-Length: 10\r\n\r\nnot found\n";
            SendAll(client, reply.data(), reply.size());
        } else {
            reply = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                    std::to_string(page->second.size()) + "\r\n\r\n";
            SendAll(client, reply.data(), reply.size());
            SendAll(client, page->second.data(), page->second.size());
        }
        platform::CloseSocket(client);
    }
    platform::CloseSocket(listener);
    return 0;
}

// Runs `once` (which returns the line count, -1 on failure) `repeats` times.
template <class Once>
int Best(int repeats, Once once) {
    double best = 1e30;
    int64_t lines = -1;
    for (int r = 0; r < repeats; ++r) {
        auto t0 = std::chrono::steady_clock::now();
        lines = once();
        if (lines < 0) return 1;
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        if (ms < best) best = ms;
    }
    std::printf("lines=%lld best_ms=%.2f\n", static_cast<long long>(lines), best);
    return 0;
}

// A test root to trust as well as the system's (https pages from the
// benchmark's own server; natively only, Wine has it in its store).
void TrustBenchRoot() {
    if (const char* ca = std::getenv("VW_TLS_CA")) platform::TrustExtraRootsForTests(ca);
}

int Count(const char* url, int repeats) {
    InitHttpStream();  // the socket library on Windows
    TrustBenchRoot();
    return Best(repeats, [&]() -> int64_t {
        net::PageLines page = net::CountPageLines(url);
        if (!page.ok) std::fprintf(stderr, "count: %s: %s\n", url, page.failure.c_str());
        return page.ok ? page.lines : -1;
    });
}

int ReadLines(const char* url, int repeats) {
    InitHttpStream();
    TrustBenchRoot();
    return Best(repeats, [&]() -> int64_t {
        Ref<TStream> s = OpenUrlForReading(String(url));
        if (s.IsNull()) {
            std::fprintf(stderr, "readlines: cannot open %s\n", url);
            return -1;
        }
        int64_t n = 0;
        while (!Eof(s)) {
            ReadLine(s);
            ++n;
        }
        CloseAnyStream(s);
        return n;
    });
}

int Cycles(const char* file, int cycles) {
    InitHttpStream();
    std::vector<std::string> urls;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) urls.push_back(line);
    FetchQueue queue;
    queue.StartWorkers();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        auto t0 = std::chrono::steady_clock::now();
        for (const std::string& url : urls) queue.Submit(url);
        size_t done = 0, ok = 0;
        int64_t lines = 0;
        while (done < urls.size()) {
            queue.WaitForFinished(20);
            for (const FetchQueue::Finished& f : queue.TakeFinished()) {
                ++done;
                ok += f.page.ok;
                lines += f.page.lines;
                if (!f.page.ok) std::fprintf(stderr, "cycle: %s\n", f.page.failure.c_str());
            }
        }
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        std::printf("ok=%zu lines=%lld ms=%.1f\n", ok, static_cast<long long>(lines), ms);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "serve") == 0) return Serve(argv[2], std::atoi(argv[3]));
    if (argc == 4 && std::strcmp(argv[1], "count") == 0) return Count(argv[2], std::atoi(argv[3]));
    if (argc == 4 && std::strcmp(argv[1], "readlines") == 0) return ReadLines(argv[2], std::atoi(argv[3]));
    if (argc == 4 && std::strcmp(argv[1], "cycle") == 0) return Cycles(argv[2], std::atoi(argv[3]));
    std::fprintf(stderr, "usage: net_bench serve <ip> <port> | net_bench count|readlines <url> <repeats> | net_bench cycle <url-file> <cycles>\n");
    return 2;
}
