#include "ftp/client/IdFTPDataTransfer.h"

#include "ftp/transport/IdIOHandlerSocket.h"
#include "ftp/transport/IdSimpleServer.h"
#include "ftp/transport/IdTCPConnection.h"

TIdFTPDataTransfer::TIdFTPDataTransfer() = default;
TIdFTPDataTransfer::~TIdFTPDataTransfer() = default;

void TIdFTPDataTransfer::changePhase(Phase next) {
    // The one place the phase changes; the lock is held.
    const Phase old = m_phase;
    m_phase = next;
    if (OnPhase) {
        OnPhase(old, next);
    }
}

void TIdFTPDataTransfer::Begin() {
    std::lock_guard lock(m_lock);
    m_aborted = false;
    m_abortPending = false;
    changePhase(Phase::Starting);
}

void TIdFTPDataTransfer::Attach(std::unique_ptr<TIdIOHandlerSocket> handler,
                                std::unique_ptr<TIdTCPConnection> channel) {
    std::lock_guard lock(m_lock);
    m_handler = std::move(handler);
    m_channel = std::move(channel);
}

TIdFTPDataTransfer::Parts TIdFTPDataTransfer::Detach() {
    std::lock_guard lock(m_lock);
    return {std::move(m_channel), std::move(m_handler)};
}

bool TIdFTPDataTransfer::EnterData() {
    std::lock_guard lock(m_lock);
    if (m_abortPending) {
        // The finishing step carries the Abort out (ABOR) now that the control
        // connection is free again.
        m_aborted = true;
        return false;
    }
    changePhase(Phase::Data);
    return true;
}

bool TIdFTPDataTransfer::Finish() {
    std::lock_guard lock(m_lock);
    changePhase(Phase::Finishing);
    return m_aborted;
}

void TIdFTPDataTransfer::End() {
    std::lock_guard lock(m_lock);
    changePhase(Phase::Idle);
}

bool TIdFTPDataTransfer::Aborted() const {
    std::lock_guard lock(m_lock);
    return m_aborted;
}

bool TIdFTPDataTransfer::HasChannel() const {
    std::lock_guard lock(m_lock);
    return m_channel != nullptr;
}

bool TIdFTPDataTransfer::Interrupt() {
    std::lock_guard lock(m_lock);
    return interruptLocked();
}

bool TIdFTPDataTransfer::InterruptUnlessIdle() {
    std::lock_guard lock(m_lock);
    if (m_phase == Phase::Idle) {
        return false;
    }
    // A transfer that is already finishing is over; its replies are being read.
    interruptLocked();
    return true;
}

bool TIdFTPDataTransfer::interruptLocked() {
    switch (m_phase) {
        case Phase::Data:
            // Cutting the data connection wakes the transfer's thread, which sends ABOR
            // itself once its data phase has ended.
            m_aborted = true;
            if (auto* listener = dynamic_cast<TIdSimpleServer*>(m_channel.get())) {
                listener->AbortListen();
            }
            if (m_handler) {
                m_handler->Interrupt();
            }
            return true;
        case Phase::Starting:
            m_abortPending = true;
            // An active-mode listener may be waiting for the server; waking it costs no
            // established connection, so the abort need not wait for the accept.
            if (auto* listener = dynamic_cast<TIdSimpleServer*>(m_channel.get())) {
                m_aborted = true;
                listener->AbortListen();
            }
            return true;
        case Phase::Finishing:
        case Phase::Idle:
            break;
    }
    return false;
}
