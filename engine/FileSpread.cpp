#include "engine/FileSpread.h"

#include <algorithm>

#include "platform/Interrupt.h"

TSpreadPool::Group::Group(TSpreadPool& pool) : m_pool(pool) {
    std::lock_guard hold(m_pool.m_lock);
    ++m_pool.m_openGroups;
}

TSpreadPool::Group::~Group() {
    if (!m_finished) {
        // A walk that failed before finishing: its queued jobs go with it.
        std::unique_lock hold(m_pool.m_lock);
        for (auto job = m_pool.m_jobs.begin(); job != m_pool.m_jobs.end();) {
            if (job->group == this) {
                job = m_pool.m_jobs.erase(job);
                --m_pending;
            } else {
                ++job;
            }
        }
        // Jobs of the group already running end before the group goes.
        m_pool.m_changed.wait(hold, [&] { return m_pending == 0; });
        --m_pool.m_openGroups;
        m_pool.m_changed.notify_all();
    }
}

void TSpreadPool::Group::Defer(Job job, TIdFTP& caller) {
    if (m_pool.m_extra <= 0) {
        job(caller);
        return;
    }
    {
        std::lock_guard hold(m_pool.m_lock);
        // A file of the walk failed already: the walk ends there, as it would alone.
        if (m_failure) {
            std::rethrow_exception(m_failure);
        }
        m_pool.m_jobs.push_back(Queued{this, std::move(job)});
        ++m_pending;
        m_pool.m_changed.notify_all();
    }
    m_pool.spawn();
}

void TSpreadPool::Group::Finish(TIdFTP& connection) {
    for (;;) {
        if (m_pool.runOne(connection)) {
            continue;
        }
        std::unique_lock hold(m_pool.m_lock);
        if (m_pending == 0) {
            m_finished = true;
            --m_pool.m_openGroups;
            m_pool.m_changed.notify_all();
            break;
        }
        m_pool.m_changed.wait(hold, [&] { return m_pending == 0 || !m_pool.m_jobs.empty(); });
    }
    if (m_failure) {
        std::rethrow_exception(m_failure);
    }
}

TSpreadPool::TSpreadPool(int extraConnections, std::function<std::unique_ptr<TIdFTP>(int number)> connect,
                         std::function<bool(TIdFTP& connection)> otherWork)
    : m_extra(std::max(extraConnections, 0)), m_connect(std::move(connect)), m_otherWork(std::move(otherWork)) {}

TSpreadPool::~TSpreadPool() {
    Join();
}

void TSpreadPool::Join() {
    {
        std::lock_guard hold(m_lock);
        m_ending = true;
        m_changed.notify_all();
    }
    for (std::thread& helper : m_helpers) {
        if (helper.joinable()) {
            helper.join();
        }
    }
}

bool TSpreadPool::Stop(std::exception_ptr why) {
    std::lock_guard hold(m_lock);
    if (m_stopped.exchange(true)) {
        return false;
    }
    for (const Queued& queued : m_jobs) {
        --queued.group->m_pending;
        if (!queued.group->m_failure) {
            queued.group->m_failure = why;
        }
    }
    m_jobs.clear();
    m_changed.notify_all();
    return true;
}

void TSpreadPool::AddHelpers(int count) {
    for (int i = 0; i < count; ++i) {
        spawn();
    }
}

void TSpreadPool::spawn() {
    std::lock_guard hold(m_lock);
    // One helper more while jobs wait that the running ones do not take at once.
    if (m_tried >= m_extra || m_ending || m_stopped) {
        return;
    }
    ++m_tried;
    // The helper's network waits end with those of the thread that opened the pool's
    // work (the worker's: Disconnect, the window closing).
    const harbrook::TInterrupter* interrupter = harbrook::ThreadInterrupter();
    const int number = m_tried + 1;
    m_helpers.emplace_back([this, interrupter, number] {
        std::unique_ptr<harbrook::ScopedInterrupter> scope;
        if (interrupter != nullptr) {
            scope = std::make_unique<harbrook::ScopedInterrupter>(*interrupter);
        }
        helperLoop(number);
    });
}

bool TSpreadPool::runOne(TIdFTP& connection) {
    Queued queued;
    bool dropped = false;
    {
        std::lock_guard hold(m_lock);
        if (m_jobs.empty()) {
            return false;
        }
        queued = std::move(m_jobs.front());
        m_jobs.pop_front();
        // The rest of a group that failed is not started.
        dropped = queued.group->m_failure != nullptr;
    }
    std::exception_ptr failure;
    if (!dropped) {
        try {
            queued.job(connection);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    std::lock_guard hold(m_lock);
    if (failure && !queued.group->m_failure) {
        queued.group->m_failure = failure;
    }
    --queued.group->m_pending;
    m_changed.notify_all();
    return true;
}

void TSpreadPool::Serve(TIdFTP& connection) {
    while (!m_stopped) {
        if (runOne(connection)) {
            continue;
        }
        if (m_otherWork && m_otherWork(connection)) {
            continue;
        }
        std::unique_lock hold(m_lock);
        if (m_stopped || m_ending || (m_jobs.empty() && m_openGroups == 0)) {
            break;
        }
        m_changed.wait(hold, [&] { return m_stopped || m_ending || !m_jobs.empty() || m_openGroups == 0; });
    }
}

void TSpreadPool::helperLoop(int number) {
    // A helper's thread must not end in an exception (a connect cut by an interrupt
    // throws from its very first look at the socket): the jobs stay for the others.
    std::unique_ptr<TIdFTP> connection;
    try {
        connection = m_connect(number);
    } catch (const std::exception&) {
        connection.reset();
    }
    if (connection == nullptr) {
        ++m_refused;
        return;
    }
    try {
        Serve(*connection);
    } catch (const std::exception&) {
        // Only other work can throw here; what it held is its own to report.
    }
    try {
        connection->Disconnect();
    } catch (const std::exception&) {
        // Done with this connection either way.
    }
}
