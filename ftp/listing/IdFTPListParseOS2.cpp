// OS/2 servers:
//                  0           DIR   08-08-11   01:47  Archive
//              65201      A          08-04-11   10:24  csort.exe

#include <algorithm>

#include "ftp/listing/IdFTPListParsers.h"

using namespace harbrook::listing;

namespace {

// "08-08-11", "05-19-2000" or "05-19-100": month, day and year with "-". Some servers
// print years after 1999 as the count since 1900 (100 for 2000).
bool isDashDate(std::string_view word) {
    return word.size() >= 8 && word.size() <= 10 && word[2] == '-' && word[5] == '-' &&
           isNumber(word.substr(0, 2)) && isNumber(word.substr(3, 2)) && isNumber(word.substr(6));
}

// Where the date word starts in the line, or npos when the line is not of this form:
// a size, attribute words (DIR, A, H, S, R), the date, blanks, a time with ":".
std::size_t dateAt(std::string_view line) {
    const std::vector<std::string> w = words(line, 8);
    if (w.size() < 4 || !isNumber(w[0])) {
        return std::string::npos;
    }
    std::size_t index = 1;
    while (index < w.size() && !isDashDate(w[index])) {
        const std::string& attribute = w[index];
        if (attribute != "DIR" && attribute.find_first_not_of("AHSR") != std::string::npos) {
            return std::string::npos;
        }
        ++index;
    }
    if (index + 1 >= w.size() || w[index + 1].find(':') == std::string::npos) {
        return std::string::npos;
    }
    // The date column is ten wide: "08-08-11   01:47" and "05-19-2000 12:56" both occur,
    // so the blanks before the time are not counted.
    return line.find(w[index]);
}

}  // namespace

bool TIdFTPLPOS2::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    for (std::string_view line : listing) {
        if (!line.empty()) {
            return dateAt(line) != std::string::npos;
        }
    }
    return false;
}

bool TIdFTPLPOS2::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::string line(item.Data);
    const std::size_t at = dateAt(line);
    std::string head = line.substr(0, at == std::string::npos ? line.size() : at);
    const std::vector<std::string> w = words(head);
    item.Size = w.empty() ? 0 : toInt64(w[0]);
    item.ItemType = std::find(w.begin(), w.end(), "DIR") != w.end() ? ditDirectory : ditFile;
    if (at == std::string::npos) {
        item.ModifiedAvail = false;
        item.SetFileName(w.empty() ? std::string() : w.back());
        return true;
    }
    std::string rest = line.substr(at);
    const std::string date = fetchWord(rest);
    const std::string time = fetchWord(rest);
    const harbrook::ListingClock clock = harbrook::listingClock();
    harbrook::TDateTime day = 0;
    harbrook::TDateTime clockTime = 0;
    const std::size_t colon = time.find(':');
    const int yearText = toInt(date.substr(6));
    const int year = date.size() == 9 ? 1900 + yearText : fullYear(yearText, clock);
    item.ModifiedAvail =
        harbrook::tryEncodeDate(year, toInt(date.substr(0, 2)),
                                toInt(date.substr(3, 2)), day) &&
        colon != std::string::npos &&
        harbrook::tryEncodeTime(toInt(time.substr(0, colon), -1), toInt(time.substr(colon + 1), -1), 0, 0,
                                clockTime);
    item.ModifiedDate = item.ModifiedAvail ? day + clockTime : 0;
    item.SetFileName(trimLeft(rest));
    return true;
}
