// Novell Netware and Hellsoft servers:
//   d [RWCEAFMS] ftpadmin                          512 Jun 25  2007 pandora
//   d[RWCEMFA] supervisor            512       Jan 16 18:53    login

#include "ftp/listing/IdFTPListParsers.h"

using namespace harbrook::listing;

namespace {

// "[RWCEAFMS]" or "[R----F--]": each place its letter or "-".
bool isRightsField(const std::string& text, std::size_t letters) {
    static const std::string netware = "RWCEAFMS";
    static const std::string hellsoft = "RWCEMFA";
    const std::string& order = letters == 8 ? netware : hellsoft;
    if (text.size() != letters + 2 || text.front() != '[' || text.back() != ']') {
        return false;
    }
    for (std::size_t i = 0; i < letters; ++i) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
        if (c != '-' && c != order[i]) {
            return false;
        }
    }
    return true;
}

// The rights field within the first twelve characters, after the type letter.
bool carriesRights(const std::string& line, std::size_t letters) {
    if (line.empty()) {
        return false;
    }
    const std::size_t open = line.find('[');
    return open != std::string::npos && open + letters + 2 <= 12 &&
           isRightsField(line.substr(open, letters + 2), letters);
}

bool startsRightly(const std::string& line, bool spaceAllowed) {
    return !line.empty() && (line[0] == 'd' || line[0] == 'D' || line[0] == '-' || (spaceAllowed && line[0] == ' '));
}

}  // namespace

bool TIdFTPLPNovellNetware::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    std::size_t first = 0;
    while (first < listing.size() && listing[first].empty()) {
        ++first;
    }
    if (first < listing.size() && startsWithIgnoringCase(listing[first], "total")) {
        ++first;
    }
    if (first >= listing.size()) {
        return false;
    }
    const std::string& line = listing[first];
    return startsRightly(line, RightsLength() == 8) && carriesRights(line, RightsLength());
}

bool TIdFTPLPNovellNetware::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    for (const std::string& line : listing) {
        if (line.empty() || startsWithIgnoringCase(line, "total")) {
            continue;
        }
        TIdFTPListItem& item = addItem(dir, line);
        ParseLine(item, {});
    }
    return true;
}

bool TIdFTPLPNovellNetware::ParseLine(TIdFTPListItem& item, const std::string&) const {
    std::string text = item.Data;
    item.ItemType = !text.empty() && (text[0] == 'd' || text[0] == 'D') ? ditDirectory : ditFile;
    const std::size_t close = text.find(']');
    text = close == std::string::npos ? std::string() : text.substr(close + 1);
    fetchWord(text);  // owner
    item.Size = toInt64(fetchWord(text));
    const int month = monthNumber(fetchWord(text));
    const int day = toInt(fetchWord(text));
    const std::string yearOrTime = fetchWord(text);
    const harbrook::ListingClock clock = harbrook::listingClock();
    int year = 0;
    int hour = 0;
    int minute = 0;
    const std::size_t colon = yearOrTime.find(':');
    if (colon == std::string::npos) {
        year = toInt(yearOrTime);
    } else {
        year = yearForMonthDay(month, day, clock);
        hour = toInt(yearOrTime.substr(0, colon), -1);
        minute = toInt(yearOrTime.substr(colon + 1), -1);
    }
    harbrook::TDateTime date = 0;
    harbrook::TDateTime time = 0;
    item.ModifiedAvail = harbrook::tryEncodeDate(year, month, day, date) &&
                         harbrook::tryEncodeTime(hour, minute, 0, 0, time);
    item.ModifiedDate = item.ModifiedAvail ? date + time : 0;
    // The name follows the date column after however many blanks pad it.
    item.SetFileName(trimLeft(text));
    return true;
}
