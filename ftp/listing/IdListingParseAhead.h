#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ftp/listing/IdFTPList.h"
#include "ftp/listing/IdFTPListParseBase.h"

// The entries of a listing parsed while it still arrives, handed on a batch at a time,
// so that a large folder's parse is done by the time its last byte is in. The layout is
// the one its first lines suggest (or the one given beforehand, MLSD's); once the whole
// listing is in, detection asks again over every line, and only when it settles on the
// same layout is what was handed on the listing's parse. Otherwise nothing more is
// handed on, what was is void, and the caller parses the whole listing as usual.
class TIdListingParseAhead {
public:
    TIdListingParseAhead(const TIdFTPListParserRegistry& registry, bool detailed, std::string systemDescription,
                         std::size_t batch, std::function<void(const TIdFTPListItems&)> take);

    // The listing is known to be of this layout (no detection, before or after).
    void Expect(const std::string& identifier);
    // The listing so far, grown by whole lines since the last call. The first call
    // settles the layout; one that cannot parse in pieces (or none) ends the parse ahead.
    void Arrived(const TIdListingLines& lines);
    // The layout being parsed ahead ("" when none).
    std::string Identifier() const;
    // The whole listing is in `lines` (the same lines, perhaps moved). The layout's name
    // when every entry has now been handed on; none when the caller must parse.
    std::optional<std::string> Finish(const TIdListingLines& lines);
    // Whether entries were handed on (void when Finish gave none).
    bool HandedOn() const { return m_handedOn; }

private:
    const TIdFTPListParserRegistry& m_registry;
    const bool m_detailed;
    const std::string m_systemDescription;
    // "Today" read once, as a parse of the whole listing reads it.
    const harbrook::ListingClock m_clock;
    const TIdFTPListBase* m_expected = nullptr;
    const TIdFTPListBase* m_layout = nullptr;
    bool m_settled = false;
    bool m_handedOn = false;
    std::size_t m_parsed = 0;
    TIdFTPListItems m_items;
    std::unique_ptr<TIdListingCursor> m_cursor;
};
