#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ftp/client/IdFTP.h"

// The file transfers of folder walks spread over several connections: a walk lists the
// folders and makes them on its own connection and hands each file over as a job; the
// pool's connections (the walk's own included) carry the jobs, up to N at once. Used by
// the window's workers and by harbrook-cli's get -r / put -r.
class TSpreadPool {
public:
    using Job = std::function<void(TIdFTP& connection)>;

    // The jobs of one walk: the walk defers its files here and then Finish()es.
    class Group {
    public:
        explicit Group(TSpreadPool& pool);
        ~Group();
        Group(const Group&) = delete;
        Group& operator=(const Group&) = delete;
        // Queued for any connection of the pool (at once on the caller's when the pool
        // has no other connection to offer).
        void Defer(Job job, TIdFTP& caller);
        // Carries jobs on `connection` until every job of the group has ended; then
        // throws the first failure among them (the rest of a failed group is dropped).
        void Finish(TIdFTP& connection);

    private:
        friend class TSpreadPool;
        TSpreadPool& m_pool;
        int m_pending = 0;
        std::exception_ptr m_failure;
        bool m_finished = false;
    };

    // `extraConnections`: how many helper connections may be opened besides the one
    // that serves first; `connect` opens helper `number` (2, 3...; null when the server
    // refused it); `otherWork` gives a connection something else to do when no job
    // waits (the window's queue entries; false: nothing).
    TSpreadPool(int extraConnections, std::function<std::unique_ptr<TIdFTP>(int number)> connect,
                std::function<bool(TIdFTP& connection)> otherWork = {});
    // Waits for every helper.
    ~TSpreadPool();
    TSpreadPool(const TSpreadPool&) = delete;
    TSpreadPool& operator=(const TSpreadPool&) = delete;

    // Opens helpers now (up to `count` in all), for work that is already known to wait.
    void AddHelpers(int count);
    // Carries jobs and other work on `connection` until none is left and no walk may
    // add more (each helper does the same on its own connection).
    void Serve(TIdFTP& connection);
    // Every job not yet started is dropped, its group failing with `why`; helpers end
    // after their current work. True for the first call only.
    bool Stop(std::exception_ptr why);
    bool Stopped() const { return m_stopped; }
    // Helpers the server refused, and all that were tried.
    int Refused() const { return m_refused; }
    int Tried() const { return m_tried; }
    // Ends the helpers and waits for them (the destructor does it too).
    void Join();

private:
    struct Queued {
        Group* group;
        Job job;
    };
    // Takes and runs one job on `connection`; false when none waits.
    bool runOne(TIdFTP& connection);
    void helperLoop(int number);
    void spawn();

    const int m_extra;
    std::function<std::unique_ptr<TIdFTP>(int number)> m_connect;
    std::function<bool(TIdFTP& connection)> m_otherWork;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Queued> m_jobs;
    // Groups not yet finished: while any is open, more jobs may come.
    int m_openGroups = 0;
    bool m_ending = false;
    std::atomic<bool> m_stopped{false};
    std::atomic<int> m_refused{0};
    std::atomic<int> m_tried{0};
    std::vector<std::thread> m_helpers;
};
