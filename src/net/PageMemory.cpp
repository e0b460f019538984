#include "net/PageMemory.h"

#include <list>
#include <mutex>
#include <unordered_map>

namespace net {

namespace {

struct Memory {
    std::mutex mutex;
    // Most recently used first.
    std::list<std::pair<std::string, RememberedPage>> pages;
    std::unordered_map<std::string, std::list<std::pair<std::string, RememberedPage>>::iterator> index;

    void Forget(const std::string& key) {
        auto found = index.find(key);
        if (found == index.end()) return;
        pages.erase(found->second);
        index.erase(found);
    }
};

Memory& TheMemory() {
    // Never destroyed: a fetch worker may still be running at exit.
    static Memory* memory = new Memory;
    return *memory;
}

}  // namespace

bool RecallPage(const std::string& key, RememberedPage& page) {
    Memory& m = TheMemory();
    std::lock_guard<std::mutex> lock(m.mutex);
    auto found = m.index.find(key);
    if (found == m.index.end()) return false;
    m.pages.splice(m.pages.begin(), m.pages, found->second);
    page = found->second->second;
    return true;
}

void RememberPage(const std::string& key, const RememberedPage& page) {
    Memory& m = TheMemory();
    std::lock_guard<std::mutex> lock(m.mutex);
    m.Forget(key);
    bool usable = !(page.etag.empty() && page.lastModified.empty()) && page.etag.size() <= kMaxValidatorBytes &&
                  page.lastModified.size() <= kMaxValidatorBytes && key.size() <= 4 * kMaxValidatorBytes;
    if (!usable) return;
    m.pages.emplace_front(key, page);
    m.index[key] = m.pages.begin();
    while (m.pages.size() > kMaxRememberedPages) m.Forget(m.pages.back().first);
}

void ForgetRememberedPages() {
    Memory& m = TheMemory();
    std::lock_guard<std::mutex> lock(m.mutex);
    m.index.clear();
    m.pages.clear();
}

}  // namespace net
