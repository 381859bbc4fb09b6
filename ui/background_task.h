// Work that may take longer than a frame, run off the window's thread so the window never
// freezes: one task at a time, cancelled through its std::stop_token, its result handed back
// on the window's thread. A result that arrives after its task was cancelled or replaced is
// dropped.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <functional>
#include <stop_token>
#include <thread>
#include <utility>

class CBackgroundTask : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;
    ~CBackgroundTask() override {
        ++m_generation;
        if (m_thread.joinable()) m_thread.request_stop();
    }

    // Runs `work(stop)` on a thread of its own, then `done(result)` on this object's thread,
    // unless Cancel or another Start came first. A task still running is cancelled first.
    template <class Work, class Done>
    void Start(Work work, Done done) {
        Cancel();
        const unsigned generation = ++m_generation;
        m_running = true;
        emit RunningChanged(true);
        m_thread = std::jthread([this, generation, work = std::move(work),
                                 done = std::move(done)](std::stop_token stop) mutable {
            auto result = work(stop);
            if (stop.stop_requested()) return;
            QMetaObject::invokeMethod(
                this,
                [this, generation, done = std::move(done), result = std::move(result)]() mutable {
                    if (generation != m_generation) return;
                    m_running = false;
                    emit RunningChanged(false);
                    done(std::move(result));
                },
                Qt::QueuedConnection);
        });
    }

    // Asks the task to stop and waits for it; the work checks its stop token often, so the
    // wait is short. Its result, if already on its way, is dropped.
    void Cancel() {
        ++m_generation;
        if (m_thread.joinable()) {
            m_thread.request_stop();
            m_thread.join();
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
    std::jthread m_thread;
    unsigned m_generation = 0;  // changed by every Start and Cancel; the window's thread only
    bool m_running = false;
};
