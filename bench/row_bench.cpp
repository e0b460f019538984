// The cost of showing one page's new state in the program's real window,
// with 50, 500 and 5000 pages listed: the state changes, the row's cells
// are set (ThreadWatch::ShowState) and the window repaints what changed.
// The reference in the same run is the cost at 50 pages; for comparison,
// the cost of rebuilding the whole list once at 500 pages.
//
//   row_bench.exe [updates]        (Windows, on a display; prints one line each)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/MainWindow.h"
#include "app/ThreadWatch.h"
#include "event/SystemDriver.h"
#include "gui/GuiDriver.h"
#include "runtime/Program.h"

namespace {

using Clock = std::chrono::steady_clock;

int g_updates = 2000;

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

void ListUpTo(int32_t n, std::vector<Ref<ThreadWatch>>& records) {
    while (NextIndex < n) {
        String i = FormatInt(NextIndex);
        records.push_back(ThreadWatch::Listed(String("http://127.0.0.1:1/p") + i, String("Page ") + i, NextIndex));
    }
    PumpSystem();
}

// Microseconds per update, updates spread over the whole list.
double RowUpdate(const std::vector<Ref<ThreadWatch>>& records) {
    int64_t now = NowSeconds();
    Clock::time_point t0 = Clock::now();
    for (int k = 0; k < g_updates; ++k) {
        const Ref<ThreadWatch>& r = records[(static_cast<size_t>(k) * 7919) % records.size()];
        if (k % 2) r->state.CheckSucceeded(now);
        else r->state.CheckFailed(now, "the server answered 503 Service Unavailable");
        r->ShowState();
        PumpSystem();
    }
    return Micros(Clock::now() - t0) / g_updates;
}

double Rebuild(const std::vector<Ref<ThreadWatch>>& records) {
    Clock::time_point t0 = Clock::now();
    ClearGadgetItems(LinkBox);
    for (const Ref<ThreadWatch>& r : records) {
        AppendGadgetItem(LinkBox, r->name, 0, 0, r->streamURL, nullptr);
        r->ShowState();
    }
    PumpSystem();
    return Micros(Clock::now() - t0);
}

void Body() {
    BuildMainWindow();
    std::vector<Ref<ThreadWatch>> records;
    double reference = 0;
    for (int32_t n : {50, 500, 5000}) {
        ListUpTo(n, records);
        RowUpdate(records);  // warm-up
        double us = RowUpdate(records);
        if (n == 50) reference = us;
        std::printf("one row's update with %d pages: %.1f us (%.2f x the cost with 50)\n", n, us, us / reference);
        if (n == 500) {
            double rebuild = Rebuild(records);
            std::printf("rebuilding the list of 500 instead: %.0f us (%.0f x one row's update)\n", rebuild,
                        rebuild / us);
        }
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) g_updates = std::max(1, std::atoi(argv[1]));
    return RunProgram(argc, argv, [] {
        Body();
        EndProgram();
    });
}
