#pragma once
// The one path of every bulk transfer of an active radar: jobs run one after the other on a
// thread of their own, so the window never waits on the radar and endpoint 0x02 never has two
// writers.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class RadarDevice;

namespace vorn {

class RadarWorker {
public:
    using Job = std::function<void(RadarDevice&)>;
    // The thread's name, as ps, top -H and gdb show it.
    static constexpr const char* kThreadName = "vorn radar io";

    explicit RadarWorker(RadarDevice& device);
    // Calls off what is queued or running and joins the thread.
    ~RadarWorker();
    RadarWorker(const RadarWorker&) = delete;
    RadarWorker& operator=(const RadarWorker&) = delete;

    // Queues a job behind every job queued before it.
    void Post(Job job);
    // Queues a job and returns once it has run: for steps whose answer is needed at once.
    void Run(const Job& job);
    // Drops the queued jobs, calls off the transfers of the running one and returns once it
    // has ended. The device is then free for the caller (a refresh, an activation).
    void CancelAll();
    bool Busy() const;

private:
    void Loop();

    RadarDevice& device_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    bool running_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vorn
