#include "net/Dial.h"

#include <algorithm>

namespace net {

namespace {

struct Attempt {
    platform::SocketHandle socket;
    Clock::time_point giveUp;
};

class Race {
public:
    Race(const std::vector<platform::NetAddress>& addresses, int32_t port, int32_t attemptMillis, Clock::time_point deadline)
        : _addresses(addresses), _port(port), _attemptMillis(attemptMillis), _deadline(deadline) {}
    ~Race() {
        for (Attempt& a : _running) platform::CloseSocket(a.socket);
    }

    Dialled Run() {
        Clock::time_point nextStart = Clock::now();
        for (;;) {
            if (FetchesAbandoned()) return Lost(Dialled::Outcome::Abandoned);
            Clock::time_point now = Clock::now();
            if (now >= _deadline) return Lost(Dialled::Outcome::Deadline);
            Expire(now);
            if (_next < _addresses.size() && (_running.empty() || now >= nextStart)) {
                if (Start()) return Won(_running.size() - 1);
                // A refusal at once lets the next address go at once.
                nextStart = _running.empty() ? now : now + std::chrono::milliseconds(kStaggerMillis);
                continue;
            }
            if (_running.empty()) return _timedOut ? Lost(Dialled::Outcome::TimedOut) : Ended();
            std::vector<platform::SocketHandle> sockets;
            Clock::time_point wake = _next < _addresses.size() ? nextStart : _deadline;
            for (const Attempt& a : _running) {
                sockets.push_back(a.socket);
                wake = std::min(wake, a.giveUp);
            }
            std::vector<int32_t> states;
            int32_t ended = platform::WaitConnecting(sockets, std::max(1, MillisLeft(wake, kSliceMillis)), states);
            for (size_t i = _running.size(); i-- > 0;) {
                if (ended < 0 || states[i] < 0) Drop(i);
                else if (states[i] == 1) return Won(i);
            }
            if (ended != 0) nextStart = now;
        }
    }

private:
    // Starts the next address: true when it connected at once.
    bool Start() {
        const platform::NetAddress& address = _addresses[_next++];
        platform::SocketHandle s = platform::OpenStreamSocket(address.v6);
        if (s == platform::kNoSocket) return false;
        _madeSocket = true;
        _running.push_back({s, Clock::now() + std::chrono::milliseconds(_attemptMillis)});
        int32_t r = platform::BeginConnect(s, address, _port);
        if (r < 0) Drop(_running.size() - 1);
        return r > 0;
    }

    void Expire(Clock::time_point now) {
        for (size_t i = _running.size(); i-- > 0;) {
            if (now < _running[i].giveUp) continue;
            _timedOut = true;
            Drop(i);
        }
    }

    void Drop(size_t i) {
        platform::CloseSocket(_running[i].socket);
        _running.erase(_running.begin() + static_cast<std::ptrdiff_t>(i));
    }

    Dialled Ended() const { return Dialled{_madeSocket ? Dialled::Outcome::Refused : Dialled::Outcome::NoSocket}; }

    Dialled Won(size_t i) {
        Dialled d{Dialled::Outcome::Connected, _running[i].socket};
        _running.erase(_running.begin() + static_cast<std::ptrdiff_t>(i));
        return d;
    }

    Dialled Lost(Dialled::Outcome why) { return Dialled{why}; }

    const std::vector<platform::NetAddress>& _addresses;
    int32_t _port;
    int32_t _attemptMillis;
    Clock::time_point _deadline;
    std::vector<Attempt> _running;
    size_t _next = 0;
    bool _timedOut = false;
    bool _madeSocket = false;
};

}  // namespace

Dialled DialAny(const std::vector<platform::NetAddress>& addresses, int32_t port, int32_t attemptMillis,
                Clock::time_point deadline) {
    return Race(addresses, port, attemptMillis, deadline).Run();
}

}  // namespace net
