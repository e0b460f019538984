// Whether a check of the pages runs, a request for one ("Check now", F5),
// and what the window's status bar says: the progress of a running check,
// otherwise the time to the next one, and always how many pages are in
// each state.
#pragma once

#include <cstdint>

class CheckLine;

// The countdown between two checks: 1501 steps of this length.
constexpr int32_t kCountdownStepMillis = 200;
constexpr int32_t kCountdownSteps = 1501;

// A check of every listed page runs on `line` from now until CheckEnded.
void CheckStarted(const CheckLine& line);
void CheckEnded();
bool CheckRunning();

// Asks for a check at once; ignored while one runs, so no page is ever
// fetched twice at the same time.
void RequestCheck();
bool CheckRequested();
// True, once, when a check was requested; the request is then gone.
bool TakeCheckRequest();

// The countdown to the next check has `steps` of 200 ms to go.
void CountdownAt(int32_t steps);
// A page's state changed, or a page came or went.
void StatesChanged();
// Puts what is to be said into the status bar, when it differs from what
// is there; counts the pages only after StatesChanged.
void RefreshStatus();
