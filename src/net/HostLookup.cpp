#include "net/HostLookup.h"

#include <cctype>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace net {

namespace {

struct Pending {
    bool finished = false;
    bool found = false;
    std::vector<platform::NetAddress> addresses;
};

// Every look-up under way, by name. Look-up threads may outlive main(), so
// this is never destroyed.
struct Registry {
    std::mutex lock;
    std::condition_variable done;
    std::map<std::string, std::shared_ptr<Pending>> pending;
};

Registry& Lookups() {
    static Registry* registry = new Registry;
    return *registry;
}

std::string Key(const std::string& host) {
    std::string key = host;
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

void Resolve(std::shared_ptr<Pending> pending, const std::string& key, const std::string& host) {
    std::vector<platform::NetAddress> found;
    bool ok = platform::LookupHostAddresses(host, found);
    Registry& r = Lookups();
    std::lock_guard<std::mutex> hold(r.lock);
    pending->found = ok;
    pending->addresses = std::move(found);
    pending->finished = true;
    auto it = r.pending.find(key);
    if (it != r.pending.end() && it->second == pending) r.pending.erase(it);
    r.done.notify_all();
}

// The look-up of `host` under way, started if there is none; nullptr with
// `refused` set when none may start. Called with the registry locked.
std::shared_ptr<Pending> Join(Registry& r, const std::string& host, LookupStatus& refused) {
    std::string key = Key(host);
    auto it = r.pending.find(key);
    if (it != r.pending.end()) return it->second;
    if (static_cast<int32_t>(r.pending.size()) >= kMaxPendingLookups) {
        refused = LookupStatus::Busy;
        return nullptr;
    }
    auto pending = std::make_shared<Pending>();
    try {
        std::thread(Resolve, pending, key, host).detach();
    } catch (const std::system_error&) {
        refused = LookupStatus::NoThread;
        return nullptr;
    }
    r.pending[key] = pending;
    return pending;
}

}  // namespace

LookupStatus LookupHost(const std::string& host, Clock::time_point deadline, std::vector<platform::NetAddress>& out) {
    out.clear();
    platform::NetAddress literal;
    if (platform::ParseNumericAddress(host, literal)) {
        out.push_back(literal);
        return LookupStatus::Found;
    }
    Registry& r = Lookups();
    std::unique_lock<std::mutex> hold(r.lock);
    LookupStatus refused = LookupStatus::NotFound;
    std::shared_ptr<Pending> pending = Join(r, host, refused);
    if (!pending) return refused;
    while (!pending->finished) {
        if (FetchesAbandoned()) return LookupStatus::Abandoned;
        int32_t wait = MillisLeft(deadline, kSliceMillis);
        if (wait == 0) return LookupStatus::TimedOut;
        r.done.wait_for(hold, std::chrono::milliseconds(wait));
    }
    if (!pending->found) return LookupStatus::NotFound;
    out = pending->addresses;
    return LookupStatus::Found;
}

int32_t PendingLookups() {
    Registry& r = Lookups();
    std::lock_guard<std::mutex> hold(r.lock);
    return static_cast<int32_t>(r.pending.size());
}

}  // namespace net
