#include "app/PageState.h"

#include <ctime>

#include "event/SystemDriver.h"

const char16_t kPartSeparator[] = u" \u00B7 ";

namespace {

// strftime's "%d" with its leading zero dropped.
String DayAndMonth(int64_t time) {
    String text = FormatLocalTime(time, "%d %b");
    return text.HasPrefix("0") ? text.Slice(1, text.Length()) : text;
}

}  // namespace

void PageState::CheckFailed(int64_t now, const String& why) {
    lastCheck = now;
    if (failingSince == 0) failingSince = now;
    reason = why;
}

void PageState::CheckSucceeded(int64_t now) {
    lastCheck = now;
    failingSince = 0;
    reason = String();
}

int64_t NowSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

String WhenText(int64_t time, int64_t now) {
    String clock = FormatLocalTime(time, "%H:%M");
    // The day as year, month and day: its first four digits are the year.
    String day = FormatLocalTime(time, "%Y%m%d"), today = FormatLocalTime(now, "%Y%m%d");
    if (day == today) return clock;
    String date = DayAndMonth(time);
    String year = day.Slice(0, day.Length() - 4);
    if (year != today.Slice(0, today.Length() - 4)) date = date + " " + year;
    return date + " " + clock;
}

String StateText(const PageState& state, int64_t now) {
    if (state.Failing()) {
        String failing = String("failing since ") + WhenText(state.failingSince, now) + ": " + state.reason;
        return state.newActivity ? String("new activity") + String(kPartSeparator) + failing : failing;
    }
    if (state.newActivity) return "new activity";
    return state.lastCheck == 0 ? "not checked yet" : "up to date";
}

String LastCheckText(const PageState& state, int64_t now) {
    return state.lastCheck == 0 ? String() : WhenText(state.lastCheck, now);
}

void StateTally::Add(const PageState& state) {
    if (state.newActivity) ++newActivity;
    if (state.Failing()) ++failing;
    if (state.newActivity || state.Failing()) return;
    if (state.lastCheck == 0) ++notChecked;
    else ++upToDate;
}

String TallyText(const StateTally& tally) {
    std::vector<String> parts;
    if (tally.upToDate) parts.push_back(FormatInt(tally.upToDate) + " up to date");
    if (tally.newActivity) parts.push_back(FormatInt(tally.newActivity) + " new");
    if (tally.failing) parts.push_back(FormatInt(tally.failing) + " failing");
    if (tally.notChecked) parts.push_back(FormatInt(tally.notChecked) + " not checked yet");
    return parts.empty() ? String("no pages") : String::Join(parts, kPartSeparator);
}
