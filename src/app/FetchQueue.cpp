#include "app/FetchQueue.h"

#include <algorithm>
#include <chrono>

#include "runtime/Program.h"

FetchQueue::~FetchQueue() { Stop(1000); }

void FetchQueue::AddWorker() {
    ++_running;
    _workers.emplace_back(&FetchQueue::Work, this);
}

void FetchQueue::StartWorkers() {
    std::lock_guard<std::mutex> lock(_mutex);
    while (!_stopping && _running < kParallelFetches) AddWorker();
}

bool FetchQueue::Outstanding() {
    std::lock_guard<std::mutex> lock(_mutex);
    return !_jobs.empty() || _fetching > 0 || !_finished.empty();
}

uint64_t FetchQueue::Submit(std::string streamUrl8) {
    std::lock_guard<std::mutex> lock(_mutex);
    uint64_t ticket = _nextTicket++;
    if (_stopping) {
        _finished.push_back({ticket, net::PageLines{false, 0, "the program is ending"}});
        _finishedReady.notify_all();
        return ticket;
    }
    std::string host = net::PageHost(streamUrl8);
    _jobs.push_back({ticket, std::move(streamUrl8), std::move(host)});
    if (static_cast<int32_t>(_jobs.size()) > _idle && _running < kParallelFetches) AddWorker();
    else _jobReady.notify_all();  // only some of the idle may take it
    return ticket;
}

std::vector<FetchQueue::Finished> FetchQueue::TakeFinished() {
    std::lock_guard<std::mutex> lock(_mutex);
    return std::exchange(_finished, {});
}

void FetchQueue::WaitForFinished(int32_t millis) {
    std::unique_lock<std::mutex> lock(_mutex);
    _finishedReady.wait_for(lock, std::chrono::milliseconds(millis), [this] { return !_finished.empty(); });
}

std::deque<FetchQueue::Job>::iterator FetchQueue::NextJob() {
    return std::find_if(_jobs.begin(), _jobs.end(), [this](const Job& job) {
        auto out = _perHost.find(job.host);
        return job.host.empty() || out == _perHost.end() || out->second < kFetchesPerHost;
    });
}

void FetchQueue::Work() {
    std::unique_lock<std::mutex> lock(_mutex);
    for (;;) {
        ++_idle;
        _jobReady.wait(lock, [this] { return _stopping || NextJob() != _jobs.end(); });
        --_idle;
        if (_stopping) break;
        auto next = NextJob();
        Job job = std::move(*next);
        _jobs.erase(next);
        ++_fetching;
        ++_perHost[job.host];
        lock.unlock();
        net::PageLines page = net::CountPageLines(job.url);
        lock.lock();
        --_fetching;
        if (--_perHost[job.host] == 0) _perHost.erase(job.host);
        _finished.push_back({job.ticket, std::move(page)});
        _finishedReady.notify_all();
        _jobReady.notify_all();  // a page of this host may start now
    }
    --_running;
    _workerEnded.notify_all();
}

void FetchQueue::Stop(int32_t millis) {
    std::unique_lock<std::mutex> lock(_mutex);
    if (_workers.empty()) return;
    _stopping = true;
    _jobs.clear();
    _jobReady.notify_all();
    lock.unlock();
    net::AbandonFetches();
    lock.lock();
    bool ended = _workerEnded.wait_for(lock, std::chrono::milliseconds(millis), [this] { return _running == 0; });
    std::vector<std::thread> workers = std::move(_workers);
    lock.unlock();
    // A worker still inside a fetch holds nothing of the program's and ends
    // with the process.
    for (std::thread& t : workers) ended ? t.join() : t.detach();
}

FetchQueue& PageFetches() {
    // Never destroyed: a worker given up on at the end may still touch it.
    static FetchQueue* queue = [] {
        AtProgramEnd([] { PageFetches().Stop(500); });
        return new FetchQueue;
    }();
    return *queue;
}
