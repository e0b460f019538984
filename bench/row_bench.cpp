// The cost of showing one page's new state in the program's real window,
// with 50, 500, 5000 and 20000 pages listed: the state changes, the cells
// are set (ThreadWatch::ShowState) and the window repaints what changed.
// The reference in the same run is the cost at 50 pages; for comparison,
// the cost of rebuilding the whole list once at 500 pages. The lists
// take turns, round after round, so a machine busy with other work weighs
// on all of them alike; each size counts its best round.
//
//   row_bench.exe [updates per round]    (Windows, on a display)
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

constexpr int kRounds = 10;
int g_updates = 400;

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// One list box of the window with its own pages.
struct Sized {
    int32_t pages = 0;
    Ref<TGadget> list;
    Ref<TList> threads;
    std::vector<Ref<ThreadWatch>> records;
    double best = 1e300;

    void Use() {
        LinkBox = list;
        ThreadList = threads;
        NextIndex = static_cast<int32_t>(records.size());
        ShowGadget(list);
        PumpSystem();
    }
};

Sized Build(int32_t pages) {
    Sized s;
    s.pages = pages;
    s.list = NewListBoxGadget(GadgetX(LinkBox), GadgetY(LinkBox), GadgetWidth(LinkBox), GadgetHeight(LinkBox),
                              MainWindow, 0);
    AddPageColumns(s.list);
    s.threads = New<TList>();
    s.Use();
    for (int32_t i = 0; i < pages; ++i) {
        String n = FormatInt(i);
        s.records.push_back(ThreadWatch::Listed(String("http://127.0.0.1:1/p") + n, String("Page ") + n, i));
    }
    HideGadget(s.list);
    return s;
}

// Microseconds per update, the updates spread over the whole list.
double Round(const std::vector<Ref<ThreadWatch>>& records, int first) {
    int64_t now = NowSeconds();
    Clock::time_point t0 = Clock::now();
    for (int k = first; k < first + g_updates; ++k) {
        const Ref<ThreadWatch>& r = records[(static_cast<size_t>(k) * 7919) % records.size()];
        if (k % 2) r->state.CheckSucceeded(now);
        else r->state.CheckFailed(now, "the server answered 503 Service Unavailable");
        r->ShowState();
        PumpSystem();
    }
    return Micros(Clock::now() - t0) / g_updates;
}

double Rebuild(const Sized& s) {
    Clock::time_point t0 = Clock::now();
    ClearGadgetItems(s.list);
    for (const Ref<ThreadWatch>& r : s.records) {
        AppendGadgetItem(s.list, r->name, 0, 0, r->streamURL, nullptr);
        r->ShowState();
    }
    PumpSystem();
    return Micros(Clock::now() - t0);
}

void Body() {
    BuildMainWindow();
    HideGadget(LinkBox);
    std::vector<Sized> sizes;
    for (int32_t pages : {50, 500, 5000, 20000}) sizes.push_back(Build(pages));
    for (int round = 0; round < kRounds; ++round) {
        for (Sized& s : sizes) {
            s.Use();
            s.best = std::min(s.best, Round(s.records, round * g_updates));
            HideGadget(s.list);
        }
    }
    for (const Sized& s : sizes) {
        std::printf("one row's update with %d pages: %.1f us (%.2f x the cost with 50)\n", s.pages, s.best,
                    s.best / sizes[0].best);
    }
    sizes[1].Use();
    double rebuild = Rebuild(sizes[1]);
    std::printf("rebuilding the list of 500 instead: %.0f us (%.0f x one row's update)\n", rebuild,
                rebuild / sizes[1].best);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) g_updates = std::max(1, std::atoi(argv[1]));
    return RunProgram(argc, argv, [] {
        Body();
        EndProgram();
    });
}
