#include "ftp/listing/IdFTPListParseBase.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstring>
#include <ctime>

#include "ftp/IdFTPExceptions.h"

namespace harbrook {

namespace {

std::mutex g_clockMutex;
std::optional<ListingClock> g_clock;
// The "now" of the parse running on this thread, when its caller passed one.
thread_local const ListingClock* t_parseClock = nullptr;

}  // namespace

ScopedListingClock::ScopedListingClock(const ListingClock& clock)
    : m_clock(clock), m_previous(t_parseClock) {
    t_parseClock = &m_clock;
}

ScopedListingClock::~ScopedListingClock() {
    t_parseClock = m_previous;
}

void setListingClock(std::optional<ListingClock> clock) {
    std::lock_guard lock(g_clockMutex);
    g_clock = clock;
}

ListingClock listingClock() {
    if (t_parseClock != nullptr) {
        return *t_parseClock;
    }
    {
        std::lock_guard lock(g_clockMutex);
        if (g_clock) {
            return *g_clock;
        }
    }
    // Every line of a listing asks; reading the local time is worth doing once a second.
    thread_local std::time_t cachedSecond = -1;
    thread_local ListingClock cached;
    const std::time_t second = std::time(nullptr);
    if (second != cachedSecond) {
        cached = ListingClock{localNow(), kDefaultTwoDigitYearWindow};
        cachedSecond = second;
    }
    return cached;
}

namespace listing {

namespace {

char upperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

std::string upper(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        c = upperAscii(c);
    }
    return result;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upperAscii(a[i]) != upperAscii(b[i])) {
            return false;
        }
    }
    return true;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::int64_t toInt64(std::string_view text, std::int64_t fallback) {
    // Up to 18 digits cannot overflow: read in one pass (sizes and dates of every line).
    if (!text.empty() && text.size() <= 18) {
        std::int64_t value = 0;
        for (const char c : text) {
            if (c < '0' || c > '9') {
                return fallback;
            }
            value = value * 10 + (c - '0');
        }
        return value;
    }
    if (!isNumber(text)) {
        return fallback;
    }
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : fallback;
}

int toInt(std::string_view text, int fallback) {
    const std::int64_t value = toInt64(text, fallback);
    return value > 2147483647 ? fallback : static_cast<int>(value);
}

std::vector<std::string> words(std::string_view line, std::size_t limit) {
    std::vector<std::string> result;
    while (result.size() < limit) {
        const std::string_view word = fetchWord(line);
        if (word.empty()) {
            break;
        }
        result.emplace_back(word);
    }
    return result;
}

std::string fetchWord(std::string& text) {
    const std::size_t start = std::min(text.find_first_not_of(' '), text.size());
    const std::size_t end = std::min(text.find(' ', start), text.size());
    std::string word = text.substr(start, end - start);
    text.erase(0, end);
    return word;
}

WordViews wordViews(std::string_view line, std::size_t limit) {
    WordViews result;
    limit = std::min(limit, kMaxWordViews);
    while (result.count < limit) {
        const std::string_view word = fetchWord(line);
        if (word.empty()) {
            break;
        }
        result.word[result.count++] = word;
    }
    return result;
}

std::string trimLeft(std::string_view text) {
    return std::string(withoutLeadingSpaces(text));
}

std::string trimSpaces(std::string_view text) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(start, text.find_last_not_of(" \t") - start + 1));
}

bool isBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

std::string firstLine(const TIdListingLines& listing) {
    for (std::string_view line : listing) {
        if (!isBlank(line)) {
            return std::string(line);
        }
    }
    return {};
}

std::vector<std::string> firstLineWords(const TIdListingLines& listing, std::size_t limit) {
    return words(firstLine(listing), limit);
}

std::string afterWords(std::string_view line, std::size_t skip) {
    for (std::size_t i = 0; i < skip; ++i) {
        fetchWord(line);
    }
    return trimLeft(line);
}

std::int64_t sizeWithSeparators(std::string_view word, bool& ok) {
    std::string digits;
    for (char c : word) {
        if (c != ',') {
            digits += c;
        }
    }
    ok = !word.empty() && word.front() != ',' && isNumber(digits);
    return ok ? toInt64(digits) : 0;
}

bool isRule(std::string_view line) {
    if (isBlank(line)) {
        return false;
    }
    for (std::size_t i = 0; i < line.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (c == ' ' || c == '-' || c == '+' || c == 0x96) {
            continue;
        }
        // The en dash written as UTF-8.
        if (c == 0xE2 && i + 2 < line.size() && static_cast<unsigned char>(line[i + 1]) == 0x80 &&
            static_cast<unsigned char>(line[i + 2]) == 0x93) {
            i += 2;
            continue;
        }
        return false;
    }
    return true;
}

int monthNumber(std::string_view word) {
    static const char* names[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                    "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    if (word.size() != 3) {
        return 0;
    }
    const char wanted[3] = {upperAscii(word[0]), upperAscii(word[1]), upperAscii(word[2])};
    for (int i = 0; i < 12; ++i) {
        if (wanted[0] == names[i][0] && wanted[1] == names[i][1] && wanted[2] == names[i][2]) {
            return i + 1;
        }
    }
    return 0;
}

bool isUnixPermissions(std::string_view text) {
    if (text.size() < 10) {
        return false;
    }
    // Which letters each of the ten columns takes (either case), as one bit per column.
    static const auto allowed = [] {
        static const char* const letters[10] = {"LDBCPS-", "TSRWX-",  "TSRWXA-", "TSRWX-", "TSRWXH-",
                                                "TSRWX-",  "TSRWXY-", "TSRWXA-", "TSRWX-", "TSRWX-"};
        std::array<std::uint16_t, 256> table{};
        for (int column = 0; column < 10; ++column) {
            for (const char* c = letters[column]; *c != '\0'; ++c) {
                const auto bit = static_cast<std::uint16_t>(1u << column);
                table[static_cast<unsigned char>(*c)] |= bit;
                table[static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(*c)))] |= bit;
            }
        }
        return table;
    }();
    for (std::size_t i = 0; i < 10; ++i) {
        if ((allowed[static_cast<unsigned char>(text[i])] & (1u << i)) == 0) {
            return false;
        }
    }
    return true;
}

int yearForMonthDay(int month, int day, const ListingClock& clock) {
    const bool afterToday =
        month > clock.now.month || (month == clock.now.month && day > clock.now.day);
    return afterToday ? clock.now.year - 1 : clock.now.year;
}

int fullYear(int year, const ListingClock& clock) {
    if (year >= 1000) {
        return year;
    }
    const int century = clock.now.year / 100 * 100;
    if (clock.twoDigitYearWindow != 0 && year > clock.twoDigitYearWindow) {
        return century - 100 + year;
    }
    return century + year;
}

}  // namespace listing
}  // namespace harbrook

using namespace harbrook::listing;

TIdFTPListItem& TIdFTPListBase::MakeNewItem(TIdFTPListItems& dir) const {
    return dir.Emplace<TIdFTPListItem>();
}

std::unique_ptr<TIdListingCursor> TIdFTPListBase::StartParse(TIdFTPListItems&) const {
    return nullptr;
}

bool TIdFTPListBase::parseEntries(const TIdListingLines& listing, TIdFTPListItems& dir,
                                  bool (*isEntry)(std::string_view line)) const {
    for (std::string_view line : listing) {
        if (!isBlank(line) && isEntry(line)) {
            ParseLine(addItem(dir, line), {});
            dir.Settled();
        }
    }
    return true;
}

TIdFTPListItem& TIdFTPListBase::addItem(TIdFTPListItems& dir, std::string_view line) const {
    TIdFTPListItem& item = MakeNewItem(dir);
    item.Data = dir.TextOf(line);
    return item;
}

bool TIdFTPListBase::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    for (std::string_view line : listing) {
        if (!line.empty()) {
            TIdFTPListItem& item = addItem(dir, line);
            ParseLine(item, {});
            dir.Settled();
        }
    }
    return true;
}

bool TIdFTPListBaseHeaderFooter::CheckListing(const TIdListingLines& listing, const std::string&,
                                              bool) const {
    for (std::string_view line : listing) {
        if (!isBlank(line) && !isRule(line)) {
            return IsHeader(line);
        }
    }
    return false;
}

bool TIdFTPListBaseHeaderFooter::ParseListing(const TIdListingLines& listing,
                                              TIdFTPListItems& dir) const {
    std::size_t at = 0;
    while (at < listing.size() &&
           (isBlank(listing[at]) || isRule(listing[at]) || IsHeader(listing[at]))) {
        ++at;
    }
    for (; at < listing.size(); ++at) {
        const std::string_view line = listing[at];
        if (isBlank(line) || isRule(line) || IsFooter(line)) {
            continue;
        }
        TIdFTPListItem& item = addItem(dir, line);
        ParseLine(item, {});
        dir.Settled();
    }
    return true;
}

void TIdFTPListParserRegistry::RegisterParser(int position, std::unique_ptr<TIdFTPListBase> parser) {
    std::lock_guard lock(m_mutex);
    auto at = std::upper_bound(m_parsers.begin(), m_parsers.end(), position,
                               [](int wanted, const auto& entry) { return wanted < entry.first; });
    m_parsers.insert(at, {position, std::move(parser)});
}

std::vector<const TIdFTPListBase*> TIdFTPListParserRegistry::Parsers() const {
    std::lock_guard lock(m_mutex);
    std::vector<const TIdFTPListBase*> parsers;
    for (const auto& entry : m_parsers) {
        parsers.push_back(entry.second.get());
    }
    return parsers;
}

const TIdFTPListBase* TIdFTPListParserRegistry::Find(const std::string& identifier) const {
    for (const TIdFTPListBase* parser : Parsers()) {
        if (parser->Identifier() == identifier) {
            return parser;
        }
    }
    return nullptr;
}

const TIdFTPListBase* TIdFTPListParserRegistry::AtPosition(int position) const {
    std::lock_guard lock(m_mutex);
    for (const auto& entry : m_parsers) {
        if (entry.first == position) {
            return entry.second.get();
        }
    }
    return nullptr;
}

void TIdFTPListParserRegistry::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir,
                                            const std::string& identifier,
                                            const std::optional<harbrook::ListingClock>& now) const {
    // "Today" is read once for the whole listing (and every line sees the same day).
    const harbrook::ScopedListingClock scope(now ? *now : harbrook::listingClock());
    dir.Clear();
    if (const TIdFTPListBase* parser = Find(identifier)) {
        dir.Reserve(listing.size());
        parser->ParseListing(listing, dir);
    }
    dir.HandOnRest();
}

bool TIdFTPListParserRegistry::CheckAndParseListing(const TIdListingLines& listing,
                                                    TIdFTPListItems& dir, bool detailed,
                                                    const std::string& systemDescription,
                                                    std::string& identifier,
                                                    const TIdFTPListBase** parser,
                                                    const std::optional<harbrook::ListingClock>& now) const {
    const harbrook::ScopedListingClock scope(now ? *now : harbrook::listingClock());
    identifier.clear();
    dir.Clear();
    if (parser != nullptr) {
        *parser = nullptr;
    }
    const std::vector<const TIdFTPListBase*> parsers = Parsers();
    if (detailed && std::none_of(parsers.begin(), parsers.end(), [](const TIdFTPListBase* p) {
            const std::string id = p->Identifier();
            return id != "NLST" && id != "MLST";
        })) {
        throw EIdFTPListParseError();
    }
    const TIdFTPListBase* const candidate = Detect(listing, detailed, systemDescription);
    if (candidate == nullptr) {
        return false;
    }
    identifier = candidate->Identifier();
    if (parser != nullptr) {
        *parser = candidate;
    }
    dir.Reserve(listing.size());
    candidate->ParseListing(listing, dir);
    dir.HandOnRest();
    return true;
}

const TIdFTPListBase* TIdFTPListParserRegistry::Detect(const TIdListingLines& listing, bool detailed,
                                                       const std::string& systemDescription) const {
    for (const TIdFTPListBase* candidate : Parsers()) {
        if (candidate->CheckListing(listing, systemDescription, detailed)) {
            return candidate;
        }
    }
    return nullptr;
}

namespace harbrook::listing {

bool hasAllWords(std::string_view line, std::initializer_list<const char*> wanted) {
    const std::vector<std::string> present = words(upper(line), 64);
    return std::all_of(wanted.begin(), wanted.end(), [&](const char* word) {
        return std::find(present.begin(), present.end(), upper(word)) != present.end();
    });
}

char at(std::string_view line, std::size_t position) {
    return position - 1 < line.size() ? line[position - 1] : '\0';
}

// "11/21/97", " 2/07/98" read as a word: month, day and year with "/" or "-".
bool looksLikeDate(std::string_view word, char separator) {
    const std::size_t first = word.find(separator);
    const std::size_t second = first == std::string::npos ? first : word.find(separator, first + 1);
    return second != std::string::npos && isNumber(word.substr(0, first)) &&
           isNumber(word.substr(first + 1, second - first - 1)) && isNumber(word.substr(second + 1));
}

void noSizeNoDate(TIdFTPListItem& item) {
    item.SizeAvail = false;
    item.ModifiedAvail = false;
}

// Numeric dates "mm-dd-yy" / "mm/dd/yyyy" and times "h:mm" with an optional a/p(m)
// mark (or a separate "AM"/"PM" word in `meridian`).
bool readDateTime(const std::string& dateWord, const std::string& timeWord, const std::string& meridian,
                  harbrook::TDateTime& value) {
    const std::size_t first = dateWord.find_first_of("-/");
    const std::size_t second = first == std::string::npos ? first : dateWord.find(dateWord[first], first + 1);
    if (second == std::string::npos) {
        return false;
    }
    const std::string m = dateWord.substr(0, first);
    const std::string d = dateWord.substr(first + 1, second - first - 1);
    const std::string y = dateWord.substr(second + 1);
    harbrook::TDateTime date = 0;
    if (!isNumber(m) || !isNumber(d) || !isNumber(y) ||
        !harbrook::tryEncodeDate(fullYear(toInt(y), harbrook::listingClock()), toInt(m), toInt(d), date)) {
        return false;
    }
    value = date;
    if (timeWord.empty()) {
        return true;
    }
    std::string t = timeWord;
    char mark = meridian.empty() ? '\0' : static_cast<char>(meridian[0] | 0x20);
    if (!t.empty() && (t.back() | 0x20) == 'm' && t.size() > 2) {
        t.pop_back();
    }
    if (!t.empty() && ((t.back() | 0x20) == 'a' || (t.back() | 0x20) == 'p')) {
        mark = static_cast<char>(t.back() | 0x20);
        t.pop_back();
    }
    const std::size_t colon = t.find(':');
    int hour = colon == std::string::npos ? -1 : toInt(t.substr(0, colon), -1);
    const int minute = colon == std::string::npos ? -1 : toInt(t.substr(colon + 1), -1);
    if (mark == 'a' || mark == 'p') {
        if (hour < 1 || hour > 12) {
            return false;
        }
        hour = hour % 12 + (mark == 'p' ? 12 : 0);
    }
    harbrook::TDateTime time = 0;
    if (!harbrook::tryEncodeTime(hour, minute, 0, 0, time)) {
        return false;
    }
    value = date + time;
    return true;
}

// "Aug 12 13:56" or "Apr  1 2014".
bool readMonthDate(const std::string& monthWord, const std::string& dayWord, const std::string& yearOrTime,
                   harbrook::TDateTime& value) {
    const int month = monthNumber(monthWord);
    const int day = toInt(dayWord);
    const std::size_t colon = yearOrTime.find(':');
    const harbrook::ListingClock clock = harbrook::listingClock();
    const int year = colon == std::string::npos ? toInt(yearOrTime, -1) : yearForMonthDay(month, day, clock);
    harbrook::TDateTime date = 0;
    harbrook::TDateTime time = 0;
    if (!harbrook::tryEncodeDate(year, month, day, date) ||
        (colon != std::string::npos &&
         !harbrook::tryEncodeTime(toInt(yearOrTime.substr(0, colon), -1), toInt(yearOrTime.substr(colon + 1), -1), 0,
                                  0, time))) {
        return false;
    }
    value = date + time;
    return true;
}

// The size in word `at` (separators allowed); unavailable when missing or not a number.
void setSize(TIdFTPListItem& item, const std::vector<std::string>& w, std::size_t index) {
    bool ok = false;
    item.Size = w.size() > index ? sizeWithSeparators(w[index], ok) : 0;
    item.SizeAvail = ok;
}

// `value` is taken by reference: callers compute `ok` in the same call, filling it.
void setWhen(TIdFTPListItem& item, bool ok, const harbrook::TDateTime& value) {
    item.ModifiedAvail = ok;
    item.ModifiedDate = ok ? value : 0;
}

}  // namespace harbrook::listing
