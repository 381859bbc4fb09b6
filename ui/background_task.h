// Work that may take longer than a frame, run off the window's thread so the window never
// freezes: one task at a time, cancelled through its std::stop_token, its result handed back
// on the window's thread. A result that arrives after its task was cancelled or replaced is
// dropped.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <memory>
#include <stop_token>
#include <thread>
#include <utility>
#include <vector>

class CBackgroundTask : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;
    // Waits for the threads still winding down after a stop.
    ~CBackgroundTask() override {
        ++m_generation;
        m_current.thread.request_stop();
        for (CWorker& worker : m_stopping) worker.thread.request_stop();
    }

    // Runs `work(stop)` on a thread of its own, then `done(result)` on this object's thread,
    // unless Cancel or another Start came first. A task still running is cancelled first.
    template <class Work, class Done>
    void Start(Work work, Done done) {
        Cancel();
        const unsigned generation = ++m_generation;
        m_running = true;
        emit RunningChanged(true);
        auto finished = std::make_shared<std::atomic<bool>>(false);
        m_current.finished = finished;
        m_current.thread = std::jthread([this, generation, finished, work = std::move(work),
                                         done = std::move(done)](std::stop_token stop) mutable {
            auto result = work(stop);
            if (!stop.stop_requested()) {
                QMetaObject::invokeMethod(
                    this,
                    [this, generation, done = std::move(done),
                     result = std::move(result)]() mutable {
                        if (generation != m_generation) return;
                        m_running = false;
                        emit RunningChanged(false);
                        done(std::move(result));
                    },
                    Qt::QueuedConnection);
            }
            finished->store(true);
        });
    }

    // Asks the task to stop and drops its result. The window does not wait for it: the work
    // checks its stop token often and ends on its own soon after.
    void Cancel() {
        ++m_generation;
        std::erase_if(m_stopping, [](const CWorker& worker) { return worker.finished->load(); });
        if (m_current.thread.joinable()) {
            m_current.thread.request_stop();
            m_stopping.push_back(std::move(m_current));
            m_current = {};
        }
        if (m_running) {
            m_running = false;
            emit RunningChanged(false);
        }
    }

    bool IsRunning() const { return m_running; }

  signals:
    void RunningChanged(bool running);

  private:
    struct CWorker {
        std::jthread thread;
        std::shared_ptr<std::atomic<bool>> finished = std::make_shared<std::atomic<bool>>(true);
    };

    CWorker m_current;
    std::vector<CWorker> m_stopping;  // cancelled, still ending; joined when this object goes
    unsigned m_generation = 0;        // changed by every Start and Cancel; the window's thread only
    bool m_running = false;
};
