#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/LumoFiles.h"
#include "platform/Dispatcher.h"
#include "platform/GuiCalls.h"

class TLumo_thread;
class TLumosimplethread;

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

using TLumoThreadStart =
    std::function<void(TLumo_thread& aMain, TLumosimplethread& aThread, void*& Data, int Id)>;
using TLumoThreadEvent = TLumoThreadStart;
using TLumoThreadStop = TLumoThreadStart;
using TLumoThreadException = std::function<void(TLumo_thread& aMain, TLumosimplethread& aThread,
                                                const std::exception& e, int Id)>;

// One run of a worker loop. It reads its own copies of the settings taken at Start.
class TLumosimplethread {
public:
    int Id = 0;
    void* Data = nullptr;
    bool Synchronized = false;
    // 0: without limit; otherwise the number of passes.
    std::int64_t RunLimit = 0;
    int Interval = 0;
    TLumoThreadEvent OnExecute;
    TLumoThreadStop OnStop;
    TLumoThreadException OnException;

    bool Terminated() const;
    void Terminate();

private:
    friend class TLumo_thread;
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    bool m_terminated = false;  // guarded by the shared lock
};

// A background worker: Start runs OnExecute in a loop (on the worker thread, or on the
// GUI thread with Synchronized) with a pause of Interval ms between passes, until Stop.
class TLumo_thread : public TLumo_Custom_Component {
public:
    // The dispatcher reaches the GUI thread; by default the process's.
    explicit TLumo_thread(harbrook::IGuiDispatcher* dispatcher = nullptr);
    ~TLumo_thread() override;
    TLumo_thread(const TLumo_thread&) = delete;
    TLumo_thread& operator=(const TLumo_thread&) = delete;

    std::string Version() const override { return "r1.06"; }
    int Id() const { return m_id; }
    TThreadPriority Priority = tpNormal;
    bool Synchronized = false;
    int Interval = 0;
    TLumoThreadStart OnStart;
    TLumoThreadEvent OnExecute;
    TLumoThreadStop OnStop;
    TLumoThreadException OnException;

    // False (and nothing started) while a loop is running or still ending.
    bool Start(bool runOnce, void* Data);
    // Asks the running loop to end after its current pass; does not wait.
    void Stop();
    // From Start until the GUI thread has seen the loop end.
    bool Running() const;

private:
    void loop(std::shared_ptr<TLumosimplethread> thread);
    harbrook::IGuiDispatcher& m_dispatcher;
    int m_id;
    std::shared_ptr<TLumosimplethread::Shared> m_shared;
    std::shared_ptr<TLumosimplethread> m_current;
    harbrook::TGuiCalls m_calls;
    std::thread m_worker;
};

// A string list behind its own lock (the transfer queues). Every operation holds the
// lock for its whole body; readers get copies.
class TSStringlist {
public:
    TSStringlist() = default;
    void Clear();
    void Add(const std::string& text);
    int Count() const;
    // A copy of the lines.
    std::vector<std::string> List() const;
    // The line at index, read under the lock; empty when there is none.
    std::optional<std::string> Get(int index) const;
    // Throws std::out_of_range for a bad index.
    void Delete(int index);

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_lines;
};
