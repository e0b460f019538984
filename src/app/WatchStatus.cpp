#include "app/WatchStatus.h"

#include <utility>

#include "app/MainWindow.h"
#include "app/PageChecks.h"
#include "app/PageState.h"
#include "app/ThreadWatch.h"
#include "gui/GuiDriver.h"

namespace {

const CheckLine* g_check = nullptr;
bool g_requested = false;
int32_t g_steps = -1;  // none before the first countdown
bool g_recount = true;
String g_tally;
String g_shown;

String TwoDigits(int32_t n) { return (n < 10 ? String("0") : String()) + FormatInt(n); }

String Progress() {
    if (g_check) {
        return String("Checking ") + FormatInt(g_check->FinishedCount()) + " of " + FormatInt(g_check->AskedCount()) +
               String(u"\u2026");
    }
    if (g_steps < 0) return String();
    int32_t seconds = g_steps * kCountdownStepMillis / 1000;
    return String("Next check in ") + FormatInt(seconds / 60) + ":" + TwoDigits(seconds % 60);
}

String Tally() {
    if (!g_recount) return g_tally;
    StateTally tally;
    for (const Ref<ThreadWatch>& record : ListedRecords()) tally.Add(record->state);
    g_tally = TallyText(tally);
    g_recount = false;
    return g_tally;
}

}  // namespace

void CheckStarted(const CheckLine& line) {
    g_check = &line;
    g_requested = false;
    RefreshStatus();
}

void CheckEnded() {
    g_check = nullptr;
    RefreshStatus();
}

bool CheckRunning() { return g_check != nullptr; }

void RequestCheck() {
    if (!CheckRunning()) g_requested = true;
}

bool CheckRequested() { return g_requested; }

bool TakeCheckRequest() { return std::exchange(g_requested, false); }

void CountdownAt(int32_t steps) {
    g_steps = steps;
    RefreshStatus();
}

void StatesChanged() { g_recount = true; }

void RefreshStatus() {
    if (!MainWindow) return;
    String progress = Progress();
    String text = progress.IsEmpty() ? Tally() : progress + String(kPartSeparator) + Tally();
    if (text == g_shown) return;
    g_shown = text;
    SetStatusText(MainWindow, text);
}
