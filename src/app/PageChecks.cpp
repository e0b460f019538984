#include "app/PageChecks.h"

#include <algorithm>
#include <vector>

#include "app/FetchQueue.h"
#include "event/SystemDriver.h"
#include "runtime/Program.h"

namespace {

// How long the window looks away while fetches are out: well inside the
// 100 ms in which a window must answer.
constexpr int32_t kFetchWaitMillis = 50;

std::vector<CheckLine*>& Lines() {
    static std::vector<CheckLine*> lines;
    return lines;
}

}  // namespace

CheckLine::CheckLine() { Lines().push_back(this); }

CheckLine::~CheckLine() { Lines().erase(std::find(Lines().begin(), Lines().end(), this)); }

void CheckLine::Ask(const String& streamURL, Answer answer) {
    Asked asked;
    asked.answer = std::move(answer);
    asked.ticket = PageFetches().Submit(streamURL.ToBytes8());
    _asks.push_back(std::move(asked));
    ++_asked;
}

bool CheckLine::Deliver(uint64_t ticket, net::PageLines& page) {
    for (Asked& asked : _asks) {
        if (asked.ticket != ticket || asked.done) continue;
        asked.done = true;
        asked.page = std::move(page);
        ++_finished;
        return true;
    }
    return false;
}

void CheckLine::AnswerDue() {
    while (!_asks.empty() && _asks.front().done) {
        Asked asked = std::move(_asks.front());
        _asks.pop_front();
        asked.answer(asked.page);
    }
}

void AnswerFinishedChecks() {
    for (FetchQueue::Finished& finished : PageFetches().TakeFinished()) {
        // Results of a line that no longer exists are dropped.
        for (CheckLine* line : Lines())
            if (line->Deliver(finished.ticket, finished.page)) break;
    }
    // A line lives for the whole wait that serves it, and an answer never
    // starts or ends a wait, so no line goes away under this loop.
    for (CheckLine* line : std::vector<CheckLine*>(Lines())) line->AnswerDue();
}

void WaitForChecks(int32_t millis) {
    // While fetches are out, their results are looked for often; with none
    // out, the wait is for native input alone, which ends it at once.
    if (PageFetches().Outstanding()) PageFetches().WaitForFinished(std::min(millis, kFetchWaitMillis));
    else AwaitSystemFor(millis);
}

String FailureText(const net::PageLines& page) {
    return String::FromBytes8(page.failure.data(), static_cast<int32_t>(page.failure.size()));
}

