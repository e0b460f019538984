// What the watcher knows of a page besides its line count: whether and when
// it was checked, whether it is failing, since when and why, and new
// activity the user has not looked at yet; and the texts the window shows
// for it. Times are seconds since 1970 (UTC), shown as local time.
//
// A page that must wait before it may be fetched again (a server asking for
// a pause) is a failing page whose reason says until when.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/String.h"

struct PageState {
    int64_t lastCheck = 0;     // 0: not checked yet
    int64_t failingSince = 0;  // 0: not failing
    String reason;             // why the checks fail, while failing
    bool newActivity = false;  // a change not looked at yet

    bool Failing() const { return failingSince != 0; }
    // A check that could not fetch the page: the failure starts now unless
    // it had started already.
    void CheckFailed(int64_t now, const String& why);
    // A check that fetched the page whole: whatever failed before is over.
    void CheckSucceeded(int64_t now);
};

// The clock the states are kept by.
int64_t NowSeconds();

// "11:40" for a time of the same local day as `now`, else with the date:
// "3 Mar 11:40", or "3 Mar 2023 11:40" in another year.
String WhenText(int64_t time, int64_t now);
// The state column: "not checked yet", "up to date", "new activity",
// "failing since 11:40: <reason>" (after "new activity · " when both).
String StateText(const PageState& state, int64_t now);
// The last-check column: WhenText of the last check, empty before any.
String LastCheckText(const PageState& state, int64_t now);

// Between the parts of a status text: " · ".
extern const char16_t kPartSeparator[];

// How many pages are in each state; a page with new activity that fails
// counts in both.
struct StateTally {
    int32_t upToDate = 0, newActivity = 0, failing = 0, notChecked = 0;
    void Add(const PageState& state);
};
// "18 up to date · 1 new · 1 failing · 2 not checked yet", leaving out the
// states no page is in; "no pages" for an empty list.
String TallyText(const StateTally& tally);
