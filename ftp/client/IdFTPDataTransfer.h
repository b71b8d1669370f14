#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

class TIdIOHandlerSocket;
class TIdTCPConnection;

// Where a transfer is: no transfer, starting (commands before the data flow), moving
// data, finishing (completion replies).
enum class TIdTransferPhase { Idle, Starting, Data, Finishing };

// What one client's data transfer shares with other threads: its phase, whether an
// Abort came, and the data connection (a passive client or an active-mode listener,
// with the handler it borrows). Abort and InterruptTransfer may come from any thread;
// everything else is the transfer's own thread. Every member function takes the lock.
class TIdFTPDataTransfer {
public:
    using Phase = TIdTransferPhase;
    using Parts = std::pair<std::unique_ptr<TIdTCPConnection>, std::unique_ptr<TIdIOHandlerSocket>>;

    TIdFTPDataTransfer();
    ~TIdFTPDataTransfer();
    TIdFTPDataTransfer(const TIdFTPDataTransfer&) = delete;
    TIdFTPDataTransfer& operator=(const TIdFTPDataTransfer&) = delete;

    // Hears every change of the phase (old, new); called with the lock held, so it must
    // not call back into the transfer.
    std::function<void(Phase old, Phase next)> OnPhase;

    // A new transfer starts: no abort, Starting.
    void Begin();
    // The data connection of the running transfer (the handler outlives the channel
    // that borrows it).
    void Attach(std::unique_ptr<TIdIOHandlerSocket> handler, std::unique_ptr<TIdTCPConnection> channel);
    // Takes the data connection out, to be closed without the lock.
    Parts Detach();
    // The data phase begins; false (and the transfer counts as aborted) when an Abort
    // came while it was starting.
    bool EnterData();
    // The completion replies are read next; answers whether the transfer was aborted.
    bool Finish();
    void End();
    bool Aborted() const;
    bool HasChannel() const;
    // Cuts a starting or running transfer: the data connection (or the listener's wait)
    // is interrupted, and the transfer's own thread sends ABOR once its data phase ends.
    // False when none is starting or running.
    bool Interrupt();
    // Interrupt for Abort: true when a transfer was there (also one already finishing,
    // which is left alone); false when the client is idle.
    bool InterruptUnlessIdle();

    // For the transfer's own thread, which alone attaches and detaches them.
    TIdIOHandlerSocket* Handler() const { return m_handler.get(); }
    TIdTCPConnection* Channel() const { return m_channel.get(); }

private:
    void changePhase(Phase next);
    bool interruptLocked();

    mutable std::mutex m_lock;
    Phase m_phase = Phase::Idle;
    // An Abort cut the transfer (it then returns without an error, incomplete).
    bool m_aborted = false;
    // An Abort came while starting; carried out once the data phase would begin.
    bool m_abortPending = false;
    std::unique_ptr<TIdIOHandlerSocket> m_handler;
    std::unique_ptr<TIdTCPConnection> m_channel;
};
