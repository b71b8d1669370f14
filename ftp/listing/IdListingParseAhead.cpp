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
    if (!m_cursor) {
        return;
    }
    m_items.ReferTo(&lines);
    m_cursor->Parse(lines, m_parsed, lines.size());
    m_parsed = lines.size();
}

std::string TIdListingParseAhead::Identifier() const {
    return m_layout != nullptr ? m_layout->Identifier() : std::string();
}

std::optional<std::string> TIdListingParseAhead::Finish(const TIdListingLines& lines) {
    if (!m_cursor) {
        return std::nullopt;
    }
    const harbrook::ScopedListingClock scope(m_clock);
    const TIdFTPListBase* const layout =
        m_expected != nullptr ? m_expected : m_registry.Detect(lines, m_detailed, m_systemDescription);
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
