#include "Apartment.h"

#include "ThreadLocal.h"

#include <algorithm>

namespace corvane {

bool PageTicket::claim()
{
    State expected = State::Waiting;
    return m_state.compare_exchange_strong(expected, State::Delivering);
}

bool PageTicket::end()
{
    for (State expected : {State::Waiting, State::Delivering}) {
        if (m_state.compare_exchange_strong(expected, State::Ended))
            return true;
    }
    return false;
}

bool PageTicket::cancel()
{
    State expected = State::Waiting;
    return m_state.compare_exchange_strong(expected, State::Cancelled);
}

std::shared_ptr<Apartment> Apartment::current()
{
    std::shared_ptr<Apartment> &apartment = threadLocal<std::shared_ptr<Apartment>>();
    if (!apartment)
        apartment.reset(new Apartment(std::this_thread::get_id()));
    return apartment;
}

void Apartment::post(std::function<void()> work)
{
    {
        std::lock_guard lock(m_mutex);
        m_work.push_back(std::move(work));
        ++m_wakes;
    }
    m_woken.notify_all();
}

int Apartment::deliver()
{
    int delivered = 0;
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard lock(m_mutex);
            if (m_work.empty())
                return delivered;
            work = std::move(m_work.front());
            m_work.pop_front();
        }
        // A handler's exception is its own; the next event is still raised.
        try {
            work();
        } catch (...) {
        }
        ++delivered;
    }
}

void Apartment::waitUntil(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock lock(m_mutex);
    const unsigned long seen = m_wakes;
    m_woken.wait_until(lock, deadline, [&] { return m_wakes != seen || !m_work.empty(); });
}

void Apartment::wake()
{
    {
        std::lock_guard lock(m_mutex);
        ++m_wakes;
    }
    m_woken.notify_all();
}

void Apartment::addPage(const std::shared_ptr<PageTicket> &ticket)
{
    std::lock_guard lock(m_mutex);
    // Tickets of ended pages go as new ones come, so the list stays as long as what is pending.
    m_pages.erase(std::remove_if(m_pages.begin(), m_pages.end(),
                                 [](const std::weak_ptr<PageTicket> &page) {
                                     const auto held = page.lock();
                                     return !held || held->state() == PageTicket::State::Ended
                                         || held->state() == PageTicket::State::Cancelled;
                                 }),
                  m_pages.end());
    m_pages.push_back(ticket);
    ++m_pendingPages;
}

void Apartment::pageEnded()
{
    --m_pendingPages;
    wake();
}

std::vector<std::shared_ptr<PageTicket>> Apartment::cancelPages()
{
    std::vector<std::shared_ptr<PageTicket>> cancelled;
    {
        std::lock_guard lock(m_mutex);
        for (const auto &page : m_pages) {
            if (const auto held = page.lock(); held && held->cancel())
                cancelled.push_back(held);
        }
    }
    for (size_t i = 0; i < cancelled.size(); ++i)
        --m_pendingPages;
    return cancelled;
}

void runAt(const std::shared_ptr<Apartment> &apartment, std::function<void()> work)
{
    if (!apartment || apartment->isCurrent())
        work();
    else
        apartment->post(std::move(work));
}

} // namespace corvane
