// The main loop: a check of every watched page, then a countdown of 1501
// steps of 200 ms. The window is answered all the time: while pages are
// fetched on worker threads and while the countdown runs, every queued event
// is handled and every finished fetch applied as soon as it is there.
#pragma once

#include <cstdint>
#include <functional>

// No time limit for Attend.
constexpr int32_t kUntilDone = -1;

// Handles queued events and finished fetches until `done` gives true or
// `millis` have passed (kUntilDone: no limit).
void Attend(const std::function<bool()>& done, int32_t millis);
// Takes at most one event from the queue and handles it.
void PollOnce();
// Fetches every listed page once and reports those that fail (start-up).
void CheckStoredPages();
// One pass of the main loop: a check, then the countdown.
void RunCycle();
// The program: places the list (ListPlace.h), builds the window, loads the
// list, checks the stored pages and runs the main loop; never returns.
[[noreturn]] void MainBody();
