#pragma once

#include <memory>
#include <stdexcept>

namespace harbrook {

// A wait on the network was given up because another thread asked for it (the user's
// Cancel, the window closing). The connection it happened on is no longer usable.
class EInterrupted : public std::runtime_error {
public:
    EInterrupted() : std::runtime_error("Cancelled") {}
};

// Lets one thread stop another's network waits: every socket wait of a thread that has
// one (ScopedInterrupter) also watches it, and once it is raised every such wait (and a
// host name lookup) ends at once with EInterrupted, until it is reset. Raise and Reset
// are safe from any thread.
class TInterrupter {
public:
    TInterrupter();
    ~TInterrupter();
    TInterrupter(const TInterrupter&) = delete;
    TInterrupter& operator=(const TInterrupter&) = delete;

    void Raise();
    void Reset();
    bool Raised() const;
    // Readable while raised (for poll).
    int WaitHandle() const { return m_fd; }

private:
    int m_fd = -1;
};

// Makes `interrupter` the calling thread's for the scope (nesting restores the outer).
class ScopedInterrupter {
public:
    explicit ScopedInterrupter(const TInterrupter& interrupter);
    ~ScopedInterrupter();
    ScopedInterrupter(const ScopedInterrupter&) = delete;
    ScopedInterrupter& operator=(const ScopedInterrupter&) = delete;

private:
    const TInterrupter* m_outer;
};

// The calling thread's interrupter, or null.
const TInterrupter* ThreadInterrupter();
// Throws EInterrupted when the calling thread's interrupter is raised.
void CheckInterrupted();

}  // namespace harbrook
