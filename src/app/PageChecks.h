// The GUI thread's side of fetching pages on worker threads: the pages of a
// line are answered in the order they were asked for, whatever order their
// fetches finish in. Everything here runs on the GUI thread.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>

#include "net/PageFetch.h"
#include "runtime/String.h"

class CheckLine {
public:
    using Answer = std::function<void(const net::PageLines&)>;

    CheckLine();
    ~CheckLine();
    CheckLine(const CheckLine&) = delete;
    CheckLine& operator=(const CheckLine&) = delete;

    // Fetches the page of `streamURL`; `answer` runs once this page and every
    // page asked for before it in this line are answered. A URL without a
    // host is answered as a failure without any fetch.
    void Ask(const String& streamURL, Answer answer);
    bool Idle() const { return _asks.empty(); }
    // Pages asked for, and of them those whose fetch has finished.
    int32_t AskedCount() const { return _asked; }
    int32_t FinishedCount() const { return _finished; }

private:
    friend void AnswerFinishedChecks();
    struct Asked {
        uint64_t ticket = 0;
        bool done = false;
        net::PageLines page;
        Answer answer;
    };
    bool Deliver(uint64_t ticket, net::PageLines& page);
    void AnswerDue();

    std::deque<Asked> _asks;
    int32_t _asked = 0;
    int32_t _finished = 0;
};

// Takes the fetches finished so far and runs every answer that is due.
void AnswerFinishedChecks();
// Returns when a fetch has finished or native input has come, or after
// `millis` (at most 50 ms while fetches are out).
void WaitForChecks(int32_t millis);

// Why a fetch failed, as text for messages.
String FailureText(const net::PageLines& page);
