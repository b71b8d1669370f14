#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "ftp/listing/IdFTPList.h"
#include "ftp/listing/IdFTPListParseBase.h"

// The entries of a listing parsed while it still arrives, handed on a batch at a time,
// so that a large folder's parse is done by the time its last byte is in. The layout is
// the one its first lines suggest (or the one given beforehand, MLSD's); once the whole
// listing is in, detection asks again over every line, and only when it settles on the
// same layout is what was handed on the listing's parse. Otherwise nothing more is
// handed on, what was is void, and the caller parses the whole listing as usual.
//
// The pieces are parsed on a thread of their own while the caller reads on: a server
// may send a large listing faster than one core parses it. `take` is then called on
// that thread, one batch after another, and never once Finish has returned.
class TIdListingParseAhead {
public:
    TIdListingParseAhead(const TIdFTPListParserRegistry& registry, bool detailed, std::string systemDescription,
                         std::size_t batch, std::function<void(const TIdFTPListItems&)> take);
    ~TIdListingParseAhead() { Halt(); }
    TIdListingParseAhead(const TIdListingParseAhead&) = delete;
    TIdListingParseAhead& operator=(const TIdListingParseAhead&) = delete;

    // The listing is known to be of this layout (no detection, before or after).
    void Expect(const std::string& identifier);
    // The listing so far, grown by whole lines since the last call. The first call
    // settles the layout; one that cannot parse in pieces (or none) ends the parse ahead.
    void Arrived(const TIdListingLines& lines);
    // The layout being parsed ahead ("" when none).
    std::string Identifier() const;
    // The whole listing is in `lines` (the same lines, perhaps moved). The layout's name
    // when every entry has now been handed on; none when the caller must parse. A
    // failure of the parse (or of `take`) beside is raised here or by Arrived.
    std::optional<std::string> Finish(const TIdListingLines& lines);
    // Stops the parse beside at once, what is queued dropped: the listing failed, and
    // its text is about to go.
    void Halt();
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

    // The parse beside: pieces borrowed from the arriving lines, in order.
    void parseBeside();
    void waitForParseBeside();
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_room;
    std::deque<TIdListingLines> m_pieces;
    bool m_closing = false;
    std::exception_ptr m_failure;
    std::thread m_beside;
};
