#include "ftp/listing/IdListingParseAhead.h"

#include <utility>

TIdListingParseAhead::TIdListingParseAhead(const TIdFTPListParserRegistry& registry, bool detailed,
                                           std::string systemDescription, std::size_t batch,
                                           std::function<void(const TIdFTPListItems&)> take)
    : m_registry(registry),
      m_detailed(detailed),
      m_systemDescription(std::move(systemDescription)),
      m_clock(harbrook::listingClock()) {
    m_items.HandOnEvery(batch, [this, take = std::move(take)](const TIdFTPListItems& items) {
        m_handedOn = true;
        take(items);
    });
}

void TIdListingParseAhead::Expect(const std::string& identifier) {
    m_expected = m_registry.Find(identifier);
}

void TIdListingParseAhead::Arrived(const TIdListingLines& lines) {
    const harbrook::ScopedListingClock scope(m_clock);
    if (!m_settled) {
        if (lines.empty()) {
            return;
        }
        // Asked once: a listing no layout can parse in pieces is not asked again at
        // every block (a 70 MB one has hundreds).
        m_settled = true;
        const TIdFTPListBase* const layout =
            m_expected != nullptr ? m_expected : m_registry.Detect(lines, m_detailed, m_systemDescription);
        if (layout == nullptr || !(m_cursor = layout->StartParse(m_items))) {
            return;
        }
        m_layout = layout;
    }
    if (!m_cursor || lines.size() <= m_parsed) {
        return;
    }
    TIdListingLines piece = TIdListingLines::Borrowing(&*(lines.begin() + static_cast<std::ptrdiff_t>(m_parsed)),
                                                       lines.size() - m_parsed);
    m_parsed = lines.size();
    std::unique_lock lock(m_mutex);
    if (m_failure) {
        std::rethrow_exception(m_failure);
    }
    m_pieces.push_back(std::move(piece));
    if (!m_beside.joinable()) {
        m_beside = std::thread([this] { parseBeside(); });
    }
    m_wake.notify_one();
    // A few pieces ahead at most: a reader far ahead of the parse would hold a copy of
    // the table of every line not parsed yet (a server faster than the parse is then
    // paced by it, as it was when the reader parsed).
    constexpr std::size_t kPiecesAhead = 4;
    m_room.wait(lock, [&] { return m_pieces.size() <= kPiecesAhead || m_failure; });
}

void TIdListingParseAhead::parseBeside() {
    const harbrook::ScopedListingClock scope(m_clock);
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [&] { return m_closing || !m_pieces.empty(); });
        if (m_pieces.empty()) {
            return;
        }
        const TIdListingLines piece = std::move(m_pieces.front());
        m_pieces.pop_front();
        m_room.notify_one();
        lock.unlock();
        try {
            m_items.ReferTo(&piece);
            m_cursor->Parse(piece, 0, piece.size());
            m_items.ReferTo(nullptr);
        } catch (...) {
            m_items.ReferTo(nullptr);
            lock.lock();
            m_failure = std::current_exception();
            m_pieces.clear();
            m_room.notify_one();
            return;
        }
        lock.lock();
    }
}

void TIdListingParseAhead::waitForParseBeside() {
    if (!m_beside.joinable()) {
        return;
    }
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_wake.notify_one();
    m_beside.join();
}

void TIdListingParseAhead::Halt() {
    {
        const std::lock_guard lock(m_mutex);
        m_pieces.clear();
    }
    waitForParseBeside();
}

std::string TIdListingParseAhead::Identifier() const {
    return m_layout != nullptr ? m_layout->Identifier() : std::string();
}

std::optional<std::string> TIdListingParseAhead::Finish(const TIdListingLines& lines) {
    const harbrook::ScopedListingClock scope(m_clock);
    // Asked while the parse beside works through its last pieces (it only reads the
    // lines, as detection does).
    const TIdFTPListBase* const layout = m_expected != nullptr || !m_cursor
                                             ? m_expected
                                             : m_registry.Detect(lines, m_detailed, m_systemDescription);
    waitForParseBeside();
    if (m_failure) {
        std::rethrow_exception(std::exchange(m_failure, nullptr));
    }
    if (!m_cursor) {
        return std::nullopt;
    }
    if (layout != m_layout) {
        m_cursor.reset();
        m_items.HandOnEvery(1, {});
        m_items.Clear();
        return std::nullopt;
    }
    m_items.ReferTo(&lines);
    m_cursor->Parse(lines, m_parsed, lines.size());
    m_parsed = lines.size();
    m_items.HandOnRest();
    m_cursor.reset();
    return m_layout->Identifier();
}
