#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ftp/listing/IdFTPList.h"

// A parse under way that goes on where it stopped, for a listing still arriving.
class TIdListingCursor {
public:
    virtual ~TIdListingCursor() = default;
    // Parses lines [from, to) of `listing`; the next call goes on from there.
    virtual void Parse(const TIdListingLines& listing, std::size_t from, std::size_t to) = 0;
};

// One listing layout: says whether lines look like its own, and parses them. Parsers
// hold no state; one instance of each serves every listing.
class TIdFTPListBase {
public:
    virtual ~TIdFTPListBase() = default;

    // The layout's name ("Unix").
    virtual std::string Identifier() const = 0;
    virtual bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                              bool detailed) const = 0;
    // The common form: every line that is not empty becomes an entry, kept even when
    // its line could not be read.
    virtual bool ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const;
    // Fills the entry from its raw line; `path` is the prefix of a recursive listing.
    virtual bool ParseLine(TIdFTPListItem& item, const std::string& path) const = 0;
    // A new entry of the layout's class at the end of `dir`.
    virtual TIdFTPListItem& MakeNewItem(TIdFTPListItems& dir) const;
    // A parse into `dir` taking the lines in pieces: the pieces, in order, make exactly
    // the entries ParseListing makes of all the lines. Null for a layout that reads
    // later lines to understand earlier ones.
    virtual std::unique_ptr<TIdListingCursor> StartParse(TIdFTPListItems& dir) const;

    // A new entry of the layout's class holding `line` as its raw line.
    TIdFTPListItem& addItem(TIdFTPListItems& dir, std::string_view line) const;

protected:
    // Parses the lines that are not blank and that `isEntry` accepts; the rest (headers,
    // footers, totals) are left out.
    bool parseEntries(const TIdListingLines& listing, TIdFTPListItems& dir,
                      bool (*isEntry)(std::string_view line)) const;
};

// Layouts with header lines before the entries and footer lines after them. Blank
// lines and rules ("-----", "+") are skipped wherever they stand.
class TIdFTPListBaseHeaderFooter : public TIdFTPListBase {
public:
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const override;

protected:
    virtual bool IsHeader(std::string_view line) const = 0;
    virtual bool IsFooter(std::string_view line) const = 0;
};

namespace harbrook {

// A two-digit year above this belongs to the last century (96 -> 1996, 07 -> 2007),
// the usual desktop setting; without a window every two-digit year would land in this
// century.
inline constexpr int kDefaultTwoDigitYearWindow = 50;

// "Today" and the two-digit-year window as listing parsers see them. Tests fix them;
// otherwise they are read from the clock at each parse.
struct ListingClock {
    DateTimeParts now;
    // 0: none. Otherwise a two-digit year above it belongs to the century before.
    int twoDigitYearWindow = 0;
};
// Fixes "today" for every parse of the process (tests of callers that cannot pass it).
void setListingClock(std::optional<ListingClock> clock);
// "Today" for the parse running on this thread: the one passed into it, else the fixed
// one, else the clock's.
ListingClock listingClock();

// Passes "now" into the parses this thread runs while it lives.
class ScopedListingClock {
public:
    explicit ScopedListingClock(const ListingClock& clock);
    ~ScopedListingClock();
    ScopedListingClock(const ScopedListingClock&) = delete;
    ScopedListingClock& operator=(const ScopedListingClock&) = delete;

private:
    ListingClock m_clock;
    const ListingClock* m_previous;
};

}  // namespace harbrook

// The ordered set of layouts that detection asks in turn. Positions are the places in
// the table of known layouts, so later layouts slot in between earlier ones.
class TIdFTPListParserRegistry {
public:
    void RegisterParser(int position, std::unique_ptr<TIdFTPListBase> parser);
    std::vector<const TIdFTPListBase*> Parsers() const;
    const TIdFTPListBase* Find(const std::string& identifier) const;
    const TIdFTPListBase* AtPosition(int position) const;

    // Parses with the named layout; an unknown name parses nothing (and is no error).
    // `now` is "today" for dates without a year (the clock's when not given).
    void ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir,
                      const std::string& identifier,
                      const std::optional<harbrook::ListingClock>& now = std::nullopt) const;
    // Asks each layout in order; the first that recognises the lines parses them.
    // Returns whether one did; `identifier` and `parser` tell which (empty / null when
    // none). Raises EIdFTPListParseError for a detailed listing when no layout beyond
    // NLST and MLST is registered.
    bool CheckAndParseListing(const TIdListingLines& listing, TIdFTPListItems& dir, bool detailed,
                              const std::string& systemDescription, std::string& identifier,
                              const TIdFTPListBase** parser = nullptr,
                              const std::optional<harbrook::ListingClock>& now = std::nullopt) const;
    // The layout detection settles on for the lines (null when none), parsing nothing.
    const TIdFTPListBase* Detect(const TIdListingLines& listing, bool detailed,
                                 const std::string& systemDescription) const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<int, std::unique_ptr<TIdFTPListBase>>> m_parsers;
};

// The registry with every built-in layout.
TIdFTPListParserRegistry& DefaultListParsers();

namespace harbrook {


// Helpers shared by the layouts.
namespace listing {

// A parse that gives each line in turn to `parseLine` (which keeps whatever it carries
// from line to line): for layouts read one line at a time. A template, so that the call
// for each line is a direct one.
template <class ParseLine>
std::unique_ptr<TIdListingCursor> lineByLine(ParseLine parseLine) {
    class LineByLine : public TIdListingCursor {
    public:
        explicit LineByLine(ParseLine parse) : m_parseLine(std::move(parse)) {}
        void Parse(const TIdListingLines& listing, std::size_t from, std::size_t to) override {
            for (std::size_t index = from; index < to; ++index) {
                m_parseLine(listing[index]);
            }
        }

    private:
        ParseLine m_parseLine;
    };
    return std::make_unique<LineByLine>(std::move(parseLine));
}

std::string upper(std::string_view text);
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);
bool equalsIgnoringCase(std::string_view a, std::string_view b);
// Only decimal digits (at least one).
inline bool isNumber(std::string_view text) {
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return !text.empty();
}
// The value of a number word; `fallback` when it is not one or does not fit.
std::int64_t toInt64(std::string_view text, std::int64_t fallback = 0);
int toInt(std::string_view text, int fallback = 0);
// Words split at runs of spaces; at most `limit` of them (the first ones).
std::vector<std::string> words(std::string_view line, std::size_t limit = SIZE_MAX);
// Removes leading spaces, then takes the text up to the next space (or the end).
std::string fetchWord(std::string& text);
// The same on a view: nothing is copied, the view moves past the word. Inline, as
// plain loops: it runs several times on every line of a listing, and listing words are
// a few characters long, shorter than a library search takes to set up.
inline std::string_view fetchWord(std::string_view& text) {
    const char* at = text.data();
    const char* const end = at + text.size();
    while (at != end && *at == ' ') {
        ++at;
    }
    const char* const start = at;
    while (at != end && *at != ' ') {
        ++at;
    }
    text = std::string_view(at, static_cast<std::size_t>(end - at));
    return {start, static_cast<std::size_t>(at - start)};
}
// The words of a line as views into it, at most kMaxWordViews (the first ones). For
// the checks run on every line of a listing: they must not allocate.
inline constexpr std::size_t kMaxWordViews = 12;
struct WordViews {
    std::string_view word[kMaxWordViews];
    std::size_t count = 0;
    std::size_t size() const { return count; }
    bool empty() const { return count == 0; }
    std::string_view operator[](std::size_t index) const { return word[index]; }
};
WordViews wordViews(std::string_view line, std::size_t limit = kMaxWordViews);
// The text without its leading spaces.
inline std::string_view withoutLeadingSpaces(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size() && text[start] == ' ') {
        ++start;
    }
    return text.substr(start);
}
std::string trimSpaces(std::string_view text);
std::string trimLeft(std::string_view text);
// Only spaces and tabs (or empty).
bool isBlank(std::string_view line);
// The words of the first line that is not blank (none when every line is).
std::vector<std::string> firstLineWords(const TIdListingLines& listing, std::size_t limit = SIZE_MAX);
// The first line that is not blank; empty when there is none.
std::string firstLine(const TIdListingLines& listing);
// The text after the first `skip` words, its own spacing kept.
std::string afterWords(std::string_view line, std::size_t skip);
// A size with optional thousands separators ("1,234"); `ok` tells whether it was one.
std::int64_t sizeWithSeparators(std::string_view word, bool& ok);
// Only spaces, "-", "+" and the Windows code page's en dash.
bool isRule(std::string_view line);
// JAN..DEC -> 1..12, letters without case; 0 for anything else.
int monthNumber(std::string_view word);
// The loose ls permission test on the first ten characters.
bool isUnixPermissions(std::string_view text);
// The year of a date given without one: this year, or last year when the month and day
// lie after today.
int yearForMonthDay(int month, int day, const ListingClock& clock);
// A year as listed: four digits kept, two digits put in a century by the window.
int fullYear(int year, const ListingClock& clock);

// Shared by the small systems' layouts.
// Whether the line holds every one of the words (letters without case).
bool hasAllWords(std::string_view line, std::initializer_list<const char*> wanted);
// The character at a 1-based column; NUL past the end.
char at(std::string_view line, std::size_t position);
// "11/21/97", " 2/07/98" read as a word: month, day and year with the separator.
bool looksLikeDate(std::string_view word, char separator);
// Entries whose listing gives neither a size nor a date.
void noSizeNoDate(TIdFTPListItem& item);
// Numeric dates "mm-dd-yy" / "mm/dd/yyyy" and times "h:mm" with an optional a/p(m)
// mark (or a separate "AM"/"PM" word in `meridian`).
bool readDateTime(const std::string& dateWord, const std::string& timeWord, const std::string& meridian,
                  harbrook::TDateTime& value);
// "Aug 12 13:56" or "Apr  1 2014".
bool readMonthDate(const std::string& monthWord, const std::string& dayWord, const std::string& yearOrTime,
                   harbrook::TDateTime& value);
// The size in word `index` (separators allowed); unavailable when missing or not a number.
void setSize(TIdFTPListItem& item, const std::vector<std::string>& w, std::size_t index);
// The modification date when `ok`; none otherwise.
void setWhen(TIdFTPListItem& item, bool ok, const harbrook::TDateTime& value);

}  // namespace listing
}  // namespace harbrook
