#include "app/MainLoop.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "app/ListOwner.h"
#include "app/ListPlace.h"
#include "app/MainWindow.h"
#include "app/PageChecks.h"
#include "app/ThreadWatch.h"
#include "app/WatchStatus.h"
#include "event/Event.h"
#include "event/SystemDriver.h"
#include "runtime/Program.h"

namespace {

// The longest one wait for attention lasts. Input and finished fetches end
// a wait at once, so this only bounds how stale a countdown step can get.
constexpr int32_t kAttendMillis = 200;

// Asks for every listed page and waits until each is answered; meanwhile
// the status bar follows the check.
// A page whose server asked for a pause is left alone until it is over.
void CheckEveryPage(void (ThreadWatch::*apply)(const net::PageLines&)) {
    CheckLine line;
    String why;
    for (const Ref<ThreadWatch>& record : ListedRecords()) {
        if (record->Waiting(why)) {
            Say(String("Not checking ") + record->name + " yet: " + why + ".");
            continue;
        }
        line.Ask(record->streamURL, [record, apply](const net::PageLines& page) { ((*record).*apply)(page); });
    }
    CheckStarted(line);
    Attend([&] { return line.Idle(); }, kUntilDone);
    CheckEnded();
}

}  // namespace

void Attend(const std::function<bool()>& done, int32_t millis) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point end = Clock::now() + std::chrono::milliseconds(std::max(millis, 0));
    for (;;) {
        while (int32_t id = PollEventQueue()) HandleEvent(id);
        AnswerFinishedChecks();
        RetryDueSave();
        RefreshStatus();
        if (done()) return;
        int64_t left = kAttendMillis;
        if (millis != kUntilDone) {
            left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0) return;
        }
        if (int32_t retry = SaveRetryDueIn(); retry >= 0) left = std::min<int64_t>(left, std::max(retry, 1));
        WaitForChecks(static_cast<int32_t>(std::min<int64_t>(left, kAttendMillis)));
    }
}

void PollOnce() {
    int32_t id = PollEventQueue();
    if (id != 0) HandleEvent(id);
}

void ThreadWatch::update() {
    CheckEveryPage(&ThreadWatch::ApplyCheck);
    SaveList();
}

void CheckStoredPages() {
    CheckEveryPage(&ThreadWatch::ApplyStartUpCheck);
    SaveListIfChanged();
}

void RunCycle() {
    Say("Update");
    ThreadWatch::update();
    Say("GUI stuff");
    CountdownAt(kCountdownSteps);
    for (int32_t i = 0; i < kCountdownSteps; ++i) {
        Attend([] { return CheckRequested(); }, kCountdownStepMillis);
        // "Check now": the next cycle starts at once.
        if (TakeCheckRequest()) return;
        int32_t left = kCountdownSteps - 1 - i;
        Say(String("Countdown: ") + FormatInt(left));
        CountdownAt(left);
    }
}

void MainBody() {
    PlaceWatchList();
    // The claim is on the list in the folder just settled.
    if (!ClaimList()) {
        ShowListOwner();
        EndProgram();
    }
    BuildMainWindow();
    String takenOver = TakeOverLeftList();
    LoadList();
    if (!takenOver.IsEmpty()) Notify(takenOver);
    CheckStoredPages();
    for (;;) RunCycle();
}
