// Novell Netware and Hellsoft servers, and Netware's Print Services for Unix in the DOS
// and NFS name spaces:
//   d [RWCEAFMS] ftpadmin                          512 Jun 25  2007 pandora
//   d[RWCEMFA] supervisor            512       Jan 16 18:53    login

#include <algorithm>
#include <cctype>

#include "ftp/listing/IdFTPListParsers.h"
#include "platform/DateTime.h"

using namespace harbrook::listing;

namespace {

// "d" or "D" in the first column marks a folder.
void markFolderByTypeLetter(TIdFTPListItem& item) {
    if (!item.Data.empty() && (item.Data[0] == 'd' || item.Data[0] == 'D')) {
        item.ItemType = ditDirectory;
    }
}

// "[RWCEAFMS]", "RWCEAFMS" or "[R----F--]": eight rights places.
bool isPsuRights(std::string word) {
    if (word.size() == 10 && word.front() == '[' && word.back() == ']') {
        word = word.substr(1, 8);
    }
    static const std::string order = "RWCEAFMS";
    if (word.size() != 8) {
        return false;
    }
    for (std::size_t i = 0; i < 8; ++i) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(word[i])));
        if (c != '-' && c != order[i]) {
            return false;
        }
    }
    return true;
}

bool startsWithType(std::string_view line) {
    return !line.empty() && (line[0] == 'd' || line[0] == 'D' || line[0] == '-');
}

// The type letter, then the rights within the first twelve characters.
bool hasPsuRights(std::string_view line) {
    if (!startsWithType(line)) {
        return false;
    }
    const std::vector<std::string> w = words(line.substr(1, 11), 2);
    return !w.empty() && isPsuRights(w[0]);
}

// "- [RWCEAFMS] supervisor    1,234 Jun 25 2007  3:10 PM  report.txt"
bool isPsuNfsLine(std::string_view line) {
    const std::vector<std::string> w = words(line, 10);
    bool sized = false;
    if (w.size() < 10 || !startsWithType(line)) {
        return false;
    }
    sizeWithSeparators(w[3], sized);
    return sized && w[3].find(',') != std::string::npos && (w[8] == "AM" || w[8] == "PM");
}

// "[RWCEAFMS]" or "[R----F--]": each place its letter or "-".
bool isRightsField(std::string_view text, std::size_t letters) {
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
bool carriesRights(std::string_view line, std::size_t letters) {
    if (line.empty()) {
        return false;
    }
    const std::size_t open = line.find('[');
    return open != std::string::npos && open + letters + 2 <= 12 &&
           isRightsField(line.substr(open, letters + 2), letters);
}

bool startsRightly(std::string_view line, bool spaceAllowed) {
    return !line.empty() && (line[0] == 'd' || line[0] == 'D' || line[0] == '-' || (spaceAllowed && line[0] == ' '));
}

}  // namespace

// ---- Novell Netware Print Services for Unix:  DOS Namespace ----

// The DOS name space dates its entries "mm-dd-yy hh:mm", which is what sets it apart
// from the plain Netware listing that shares its type and rights columns.
bool TIdFTPLPNetwarePSUDos::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::string line = firstLine(listing);
    if (line.empty() || !hasPsuRights(line)) {
        return false;
    }
    const std::vector<std::string> w = words(line, 8);
    harbrook::TDateTime when = 0;
    return w.size() >= 7 && readDateTime(w[4], w[5], "", when);
}

// "- [RWCEAFMS] SUPERVISOR     1234  06-25-07  15:10  REPORT.TXT"
bool TIdFTPLPNetwarePSUDos::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 7);
    markFolderByTypeLetter(item);
    setSize(item, w, 3);
    harbrook::TDateTime when = 0;
    setWhen(item, w.size() >= 6 && readDateTime(w[4], w[5], "", when), when);
    item.SetFileName(afterWords(item.Data, 6));
    return true;
}

// ---- Novell Netware Print Services for Unix:  NFS Namespace ----

bool TIdFTPLPNetwarePSUNFS::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::string line = firstLine(listing);
    return !line.empty() && isPsuNfsLine(line);
}

bool TIdFTPLPNetwarePSUNFS::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 9);
    markFolderByTypeLetter(item);
    setSize(item, w, 3);
    harbrook::TDateTime when = 0;
    const bool dated = w.size() >= 9 && monthNumber(w[4]) != 0 &&
                       readDateTime(std::to_string(monthNumber(w[4])) + "/" + w[5] + "/" + w[6], w[7], w[8], when);
    setWhen(item, dated, when);
    item.SetFileName(afterWords(item.Data, 9));
    return true;
}

// ---- Novell Netware ----

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
    const std::string_view line = listing[first];
    return startsRightly(line, RightsLength() == 8) && carriesRights(line, RightsLength());
}

bool TIdFTPLPNovellNetware::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    for (std::string_view line : listing) {
        if (line.empty() || startsWithIgnoringCase(line, "total")) {
            continue;
        }
        TIdFTPListItem& item = addItem(dir, line);
        ParseLine(item, {});
    }
    return true;
}

bool TIdFTPLPNovellNetware::ParseLine(TIdFTPListItem& item, const std::string&) const {
    std::string text(item.Data);
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
