// The one place in the program where threads meet.
//
// The rule: worker threads get plain data (a ticket and the 8-bit stream
// URL) and hand back plain results (net::PageLines) through this queue; they
// never create, copy or release framework objects (Ref, String, TList,
// gadgets, streams), whose reference counts are not atomic. The GUI thread
// owns every gadget, the watch list and the autosave file, and is the only
// caller of the functions below.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/PageFetch.h"

class FetchQueue {
public:
    // Pages fetched at the same time at most, and of one host at most: a
    // worker takes the first queued page whose host has fewer fetches out.
    static constexpr int32_t kParallelFetches = 8;
    static constexpr int32_t kFetchesPerHost = net::kFetchesPerHost;

    struct Finished {
        uint64_t ticket = 0;
        net::PageLines page;
    };

    ~FetchQueue();

    // Starts every worker now rather than with the first fetches, so the
    // window is not held up while threads come up in the middle of its work.
    void StartWorkers();
    // True while a fetch is queued, running or finished but not taken.
    bool Outstanding();
    // Queues a fetch; the ticket names its result.
    uint64_t Submit(std::string streamUrl8);
    // The results finished since the last call, in the order they finished.
    std::vector<Finished> TakeFinished();
    // Returns when a result is ready to take, or after `millis`.
    void WaitForFinished(int32_t millis);
    // For the end of the program: every fetch in flight and every queued one
    // ends at once, and the workers are given up to `millis` to finish.
    void Stop(int32_t millis);

private:
    struct Job {
        uint64_t ticket;
        std::string url, host;
    };
    void Work();
    void AddWorker();
    // The first job that may start now; _jobs.end() when none.
    std::deque<Job>::iterator NextJob();

    std::mutex _mutex;
    std::condition_variable _jobReady, _finishedReady, _workerEnded;
    std::deque<Job> _jobs;
    std::map<std::string, int32_t> _perHost;  // fetches out, by host
    std::vector<Finished> _finished;
    std::vector<std::thread> _workers;
    int32_t _idle = 0;      // workers waiting for a job
    int32_t _fetching = 0;  // workers inside a fetch
    int32_t _running = 0;
    uint64_t _nextTicket = 1;
    bool _stopping = false;
};

// The program's queue; stopped when the program ends.
FetchQueue& PageFetches();
