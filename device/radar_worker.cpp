#include "device/radar_worker.h"

#include <pthread.h>

#include "device/radar_device.h"

namespace vorn {

RadarWorker::RadarWorker(RadarDevice& device) : device_(device), thread_([this] { Loop(); }) {}

RadarWorker::~RadarWorker() {
    CancelAll();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void RadarWorker::Post(Job job) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_all();
}

void RadarWorker::Run(const Job& job) {
    std::mutex doneMutex;
    std::condition_variable doneWake;
    bool done = false;
    Post([&](RadarDevice& device) {
        job(device);
        std::lock_guard<std::mutex> lock(doneMutex);
        done = true;
        doneWake.notify_all();
    });
    std::unique_lock<std::mutex> lock(doneMutex);
    doneWake.wait(lock, [&] { return done; });
}

void RadarWorker::CancelAll() {
    std::unique_lock<std::mutex> lock(mutex_);
    jobs_.clear();
    // Under the lock, so the abort cannot fall between taking a job and clearing the last one.
    if (running_) device_.AbortTransfers();
    idle_.wait(lock, [this] { return !running_; });
}

bool RadarWorker::Busy() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_ || !jobs_.empty();
}

void RadarWorker::Loop() {
    // Named for top -H, gdb and the benchmarks, which tell the radar's share of the CPU by it.
    pthread_setname_np(pthread_self(), kThreadName);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (stopping_) return;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        running_ = true;
        device_.ClearAbort();
        lock.unlock();
        job(device_);
        lock.lock();
        running_ = false;
        idle_.notify_all();
    }
}

}  // namespace vorn
