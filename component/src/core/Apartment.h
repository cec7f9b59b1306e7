// The thread an object belongs to, as work done elsewhere reaches it. An object is used on the
// thread that made it; what finishes later on another thread (a page printed by the browser's
// thread) is posted to the object's thread and raised there when that thread lets its messages
// through, never on the thread that happened to finish it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvane {

// One HTML page asked for, as the thread that asked sees it. Exactly one side ends it: the
// browser (printed, failed) or the asking thread (cancelled when its wait ran out).
class PageTicket {
public:
    enum class State { Waiting, Delivering, Ended, Cancelled };
    // The browser is about to hand the page to the printer: false when it was cancelled.
    bool claim();
    // The browser ended the request: false when the asking thread had cancelled it before.
    bool end();
    // The asking thread gives up: false when the page is being delivered or has ended.
    bool cancel();
    State state() const { return m_state; }
    // Raises the page's outcome once the asking thread has cancelled it (on that thread); why
    // ends the description ("the page ... was not printed: " why).
    std::function<void(const std::u16string &why)> cancelled;

private:
    std::atomic<State> m_state{State::Waiting};
};

class Apartment {
public:
    // The calling thread's apartment, made on first use and kept while anything refers to it.
    static std::shared_ptr<Apartment> current();

    bool isCurrent() const { return std::this_thread::get_id() == m_thread; }

    // Queues work to run on this apartment's thread (from any thread) and wakes it.
    void post(std::function<void()> work);
    // Runs the queued work, in order; on the apartment's own thread. The number run.
    int deliver();
    // Sleeps until work is posted, a page ends, or the deadline passes.
    void waitUntil(std::chrono::steady_clock::time_point deadline);
    // Wakes a waiting thread (a page it asked for has ended).
    void wake();

    // The pages this thread asked for that have not ended.
    void addPage(const std::shared_ptr<PageTicket> &ticket);
    void pageEnded();
    int pendingPages() const { return m_pendingPages; }
    // Cancels every page of this thread that is not being delivered; returns the tickets
    // cancelled (the caller reports them).
    std::vector<std::shared_ptr<PageTicket>> cancelPages();

private:
    explicit Apartment(std::thread::id thread)
        : m_thread(thread)
    {
    }
    std::thread::id m_thread;
    std::mutex m_mutex;
    std::condition_variable m_woken;
    std::deque<std::function<void()>> m_work;
    unsigned long m_wakes = 0;
    std::vector<std::weak_ptr<PageTicket>> m_pages;
    std::atomic<int> m_pendingPages{0};
};

// Runs work on the apartment's thread: now when the caller is that thread (or there is no
// apartment), else posted to it.
void runAt(const std::shared_ptr<Apartment> &apartment, std::function<void()> work);

} // namespace corvane
