// What the program remembers, while it runs, of each page's last whole
// answer: its validators (ETag, Last-Modified) together with the line count
// of that very answer, so that a "304 Not Modified" to a conditional request
// stands for that count. It is the server's last page, never the count the
// watch list holds, which may come from its file. Process-wide, thread-safe,
// plain C++, bounded in size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace net {

struct RememberedPage {
    std::string etag;
    std::string lastModified;
    int32_t lines = 0;
};

// Pages remembered at most; beyond it the one used longest ago is dropped.
constexpr size_t kMaxRememberedPages = 4096;
// Validators longer than this are not remembered.
constexpr size_t kMaxValidatorBytes = 512;

// The page remembered under `key` (a target's Text()); false when none.
bool RecallPage(const std::string& key, RememberedPage& page);
// Remembers an answer; one without validators forgets the key instead.
void RememberPage(const std::string& key, const RememberedPage& page);
// For tests: forgets every page.
void ForgetRememberedPages();

}  // namespace net
