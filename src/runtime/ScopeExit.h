// Clean-up that must run however a scope is left: `ScopeExit close([&] {
// stream->Close(); });` closes the stream on return and when an exception
// passes. On the normal path what the clean-up raises goes to the caller;
// while an exception is on its way out, the clean-up's own error is dropped so
// that the caller sees the first one.
#pragma once

#include <exception>
#include <utility>

template <class F>
class ScopeExit {
public:
    explicit ScopeExit(F f) : _f(std::move(f)), _unwinding(std::uncaught_exceptions()) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() noexcept(false) {
        if (std::uncaught_exceptions() == _unwinding) {
            _f();
            return;
        }
        try {
            _f();
        } catch (...) {
        }
    }

private:
    F _f;
    int _unwinding;
};
