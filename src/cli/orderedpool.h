#pragma once
// Work on every core with the results handed out in input order.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace kolvo::cli {

// Runs job(i) for i in 0..count-1 on `threads` threads and passes each result
// to `hand` on the calling thread, in index order. At most a few results per
// thread wait for their turn, so memory does not grow with `count`. `tick`
// runs on the calling thread after each result handed and about ten times a second
// (a progress line). Once `stop()` turns true no further job starts; those
// under way finish and are handed. Returns how many were handed.
template <class Result>
std::size_t runInOrder(std::size_t count, int threads,
                       const std::function<Result(std::size_t)>& job,
                       const std::function<void(std::size_t, Result&&)>& hand,
                       const std::function<bool()>& stop, const std::function<void()>& tick) {
    threads = std::max(1, std::min(threads, int(std::min<std::size_t>(count, 64))));
    const std::size_t window = std::size_t(threads) * 4;
    std::vector<std::optional<Result>> waiting(window);
    std::mutex mutex;
    std::condition_variable workWanted, resultReady;
    std::size_t next = 0, handed = 0;
    int busy = 0;
    bool stopping = false;

    auto worker = [&] {
        std::unique_lock lock(mutex);
        for (;;) {
            workWanted.wait(lock,
                            [&] { return stopping || next >= count || next < handed + window; });
            if (stopping || next >= count)
                return;
            const std::size_t i = next++;
            ++busy;
            lock.unlock();
            Result r = job(i);
            lock.lock();
            waiting[i % window] = std::move(r);
            --busy;
            resultReady.notify_one();
        }
    };
    std::vector<std::thread> pool;
    if (count > 0)
        for (int t = 0; t < threads; ++t)
            pool.emplace_back(worker);

    std::unique_lock lock(mutex);
    while (handed < count) {
        if (std::optional<Result>& slot = waiting[handed % window]; slot) {
            Result r = std::move(*slot);
            slot.reset();
            const std::size_t i = handed++;
            workWanted.notify_all();
            lock.unlock();
            hand(i, std::move(r));
            tick();
            lock.lock();
            continue;
        }
        if (!stopping && stop()) {
            stopping = true;
            workWanted.notify_all();
        }
        // Stopped: what was started is handed, then nothing more comes.
        if (stopping && busy == 0 && handed >= next)
            break;
        resultReady.wait_for(lock, std::chrono::milliseconds(100));
        lock.unlock();
        tick();
        lock.lock();
    }
    stopping = true;
    workWanted.notify_all();
    lock.unlock();
    for (std::thread& t : pool)
        t.join();
    return handed;
}

} // namespace kolvo::cli
