#include "app/PageChecks.h"

#include <algorithm>
#include <vector>

#include "app/FetchQueue.h"
#include "runtime/Program.h"

namespace {

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
    if (TrimText(StreamHost(streamURL)).IsEmpty()) {
        // "http::" alone would reach the local machine on some systems.
        asked.done = true;
        asked.page.failure = "the address names no host";
    } else {
        asked.ticket = PageFetches().Submit(streamURL.ToBytes8());
    }
    _asks.push_back(std::move(asked));
}

bool CheckLine::Deliver(uint64_t ticket, net::PageLines& page) {
    for (Asked& asked : _asks) {
        if (asked.ticket != ticket || asked.done) continue;
        asked.done = true;
        asked.page = std::move(page);
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
    // A plain sleep costs less than a timed wait where nothing can come.
    if (PageFetches().Outstanding()) PageFetches().WaitForFinished(millis);
    else SleepMillis(millis);
}

String FailureText(const net::PageLines& page) {
    return String::FromBytes8(page.failure.data(), static_cast<int32_t>(page.failure.size()));
}

String StreamHost(const String& streamURL) {
    int32_t start = streamURL.IndexOf("::");
    String path = start < 0 ? streamURL : streamURL.Slice(start + 2, streamURL.Length());
    int32_t end = path.Length();
    for (int32_t i = 0; i < path.Length(); ++i) {
        if (path[i] == u'/' || path[i] == u':') {
            end = i;
            break;
        }
    }
    return path.Slice(0, end);
}
