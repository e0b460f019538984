#include "app/FetchQueue.h"

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
    _jobs.emplace_back(ticket, std::move(streamUrl8));
    if (static_cast<int32_t>(_jobs.size()) > _idle && _running < kParallelFetches) AddWorker();
    else _jobReady.notify_one();
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

void FetchQueue::Work() {
    std::unique_lock<std::mutex> lock(_mutex);
    for (;;) {
        ++_idle;
        _jobReady.wait(lock, [this] { return _stopping || !_jobs.empty(); });
        --_idle;
        if (_stopping) break;
        auto [ticket, url] = std::move(_jobs.front());
        _jobs.pop_front();
        ++_fetching;
        lock.unlock();
        net::PageLines page = net::CountPageLines(url);
        lock.lock();
        --_fetching;
        _finished.push_back({ticket, std::move(page)});
        _finishedReady.notify_all();
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
