// A run: threads take attempts by number, the calling thread delivers the puzzles in the order
// of their attempts, leaving out those equal to one before or to an excluded puzzle.
#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_map>

#include "attempt.h"
#include "grid_solver.h"

namespace {

using Clock = std::chrono::steady_clock;

// Attempts a thread may take beyond the first not yet finished, per thread: finished ones
// wait for it in memory, so a slow attempt does not let the others run on without end.
constexpr uint64_t kAheadPerThread = 1024;

// The puzzles already written or excluded, by FormInvariant; their forms made only when a
// new puzzle shares the invariant.
class CSeenForms {
  public:
    // False when a puzzle of the same form is there already; else adds it.
    bool Add(const PuzzleGrid& puzzle, const PuzzleGrid& solution) {
        std::vector<CEntry>& same = m_byInvariant[FormInvariant(puzzle)];
        if (!same.empty()) {
            const PuzzleGrid form = CanonicalForm(puzzle, solution);
            for (CEntry& entry : same) {
                if (!entry.form) entry.form = CanonicalForm(entry.puzzle, entry.solution);
                if (*entry.form == form) return false;
            }
            same.push_back({puzzle, solution, form});
            return true;
        }
        same.push_back({puzzle, solution, std::nullopt});
        return true;
    }

    // Adds a puzzle known only by its canonical form.
    void AddForm(const PuzzleGrid& form) {
        m_byInvariant[FormInvariant(form)].push_back({form, form, form});
    }

  private:
    struct CEntry {
        PuzzleGrid puzzle;
        PuzzleGrid solution;
        std::optional<PuzzleGrid> form;
    };
    std::unordered_map<uint64_t, std::vector<CEntry>> m_byInvariant;
};

}  // namespace

CGenerator::CGenerator(CGeneratorOptions options)
    : m_prepared(std::make_unique<const generator::CPrepared>(std::move(options))) {}

CGenerator::~CGenerator() = default;

std::optional<CGeneratedPuzzle> CGenerator::Attempt(uint64_t attempt, std::stop_token stop) const {
    return m_prepared->Attempt(attempt, stop);
}

CRunEnd CGenerator::Run(int count, unsigned threads, std::chrono::nanoseconds timeLimit,
                        std::stop_token stop,
                        const std::function<bool(const CGeneratedPuzzle&)>& deliver,
                        const std::function<void(const CRunProgress&)>& progress,
                        std::chrono::nanoseconds progressEvery) {
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline =
        timeLimit.count() > 0 ? start + timeLimit : Clock::time_point::max();
    threads = std::max(1u, threads);

    CSeenForms seen;
    for (const auto* list : {&m_prepared->options.seeds, &m_prepared->options.excluded}) {
        for (const PuzzleGrid& puzzle : *list) {
            const CSolutionCount counted = CountSolutions(puzzle.data());
            if (counted.count == 1) seen.Add(puzzle, counted.solutions[0]);
        }
    }
    for (const PuzzleGrid& form : m_prepared->options.excludedForms) seen.AddForm(form);

    std::mutex mutex;
    std::condition_variable frontierReady;  // the first attempt not delivered has finished
    std::condition_variable workAllowed;    // `limit` or the frontier moved, or the run ends
    std::map<uint64_t, std::optional<CGeneratedPuzzle>> finished;  // not yet delivered
    std::set<uint64_t> pendingKept;  // those of `finished` that made a puzzle
    uint64_t next = 0;               // the next attempt to take
    uint64_t frontier = 0;           // the first attempt not delivered
    uint64_t limit = UINT64_MAX;     // attempts from here on are not needed
    uint64_t tried = 0, kept = 0;
    int delivered = 0;
    std::stop_source halt;  // ends the attempts in flight
    const uint64_t ahead = kAheadPerThread * threads;

    // Attempts past the one that would make the last puzzle asked for are not needed.
    const auto updateLimit = [&] {
        const size_t needed = size_t(count - delivered);
        limit = UINT64_MAX;
        if (needed > 0 && pendingKept.size() >= needed)
            limit = *std::next(pendingKept.begin(), needed - 1) + 1;
    };

    std::vector<std::jthread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            const std::stop_token token = halt.get_token();
            for (;;) {
                uint64_t attempt;
                {
                    std::unique_lock lock(mutex);
                    workAllowed.wait(lock, [&] {
                        return token.stop_requested() || (next < limit && next < frontier + ahead);
                    });
                    if (token.stop_requested()) return;
                    attempt = next++;
                }
                std::optional<CGeneratedPuzzle> made = m_prepared->Attempt(attempt, token);
                if (!made && token.stop_requested()) return;  // perhaps cut short
                std::lock_guard lock(mutex);
                ++tried;
                if (made) {
                    ++kept;
                    pendingKept.insert(attempt);
                    updateLimit();
                }
                finished.emplace(attempt, std::move(made));
                if (attempt == frontier) frontierReady.notify_one();
            }
        });
    }

    CRunEnd end = CRunEnd::kDone;
    bool deliveredAll = false;
    Clock::time_point nextProgress = start + progressEvery;
    // Delivers `puzzle` unless one of its form came before; false when the caller says stop.
    const auto offer = [&](const CGeneratedPuzzle& puzzle) {
        if (!seen.Add(puzzle.puzzle, puzzle.solution)) return true;
        ++delivered;
        return deliver(puzzle);
    };
    const auto report = [&] {
        if (!progress) return;
        CRunProgress p;
        {
            std::lock_guard lock(mutex);
            p.tried = tried;
            p.kept = kept;
        }
        p.found = delivered;
        p.asked = count;
        p.seconds = std::chrono::duration<double>(Clock::now() - start).count();
        progress(p);
    };

    std::stop_callback wakeOnStop(stop, [&] {
        std::lock_guard inner(mutex);
        frontierReady.notify_one();
    });
    std::unique_lock lock(mutex);
    while (delivered < count) {
        const Clock::time_point wake = std::min(deadline, progress ? nextProgress : deadline);
        const auto ready = [&] {
            return stop.stop_requested() || finished.contains(frontier) || Clock::now() >= deadline;
        };
        // Without a time to wake at, no timed wait: the far future overflows some clocks.
        if (wake == Clock::time_point::max()) {
            frontierReady.wait(lock, ready);
        } else {
            frontierReady.wait_until(lock, wake, ready);
        }
        // Deliver what is ready, in order, outside the lock.
        bool callerStop = false;
        while (delivered < count && !callerStop) {
            const auto first = finished.find(frontier);
            if (first == finished.end()) break;
            std::optional<CGeneratedPuzzle> made = std::move(first->second);
            finished.erase(first);
            pendingKept.erase(frontier);
            ++frontier;
            lock.unlock();
            if (made) callerStop = !offer(*made);
            lock.lock();
            updateLimit();
            workAllowed.notify_all();
        }
        if (delivered >= count) break;
        if (callerStop || stop.stop_requested()) {
            end = CRunEnd::kStopped;
            deliveredAll = callerStop;
            break;
        }
        if (Clock::now() >= deadline) {
            end = CRunEnd::kTimeLimit;
            break;
        }
        if (progress && Clock::now() >= nextProgress) {
            lock.unlock();
            report();
            lock.lock();
            nextProgress = Clock::now() + progressEvery;
        }
    }
    halt.request_stop();
    workAllowed.notify_all();
    lock.unlock();
    for (std::jthread& worker : workers) worker.join();
    // An early end still delivers every puzzle found, in order.
    if (end != CRunEnd::kDone && !deliveredAll) {
        for (auto& [attempt, made] : finished) {
            if (delivered >= count) break;
            if (made && !offer(*made)) break;
        }
    }
    return end;
}
