// The remaining layouts of smaller systems: CONNECT:Enterprise's "$$" and root forms,
// Connect:Express for OS/390, Netware's Print Services for Unix (DOS and NFS name
// spaces), Distinct TCP/IP and Bull's GCOS 8 and GCOS 7.

#include <algorithm>

#include "ftp/listing/IdFTPListParsers.h"
#include "platform/DateTime.h"

using namespace harbrook::listing;

namespace {

bool onlyFrom(const std::string& word, const std::string& allowed) {
    return !word.empty() && word.find_first_not_of(allowed) == std::string::npos;
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
void setSize(TIdFTPListItem& item, const std::vector<std::string>& w, std::size_t at) {
    bool ok = false;
    item.Size = w.size() > at ? sizeWithSeparators(w[at], ok) : 0;
    item.SizeAvail = ok;
}

// "d" or "D" in the first column marks a folder.
void markFolderByTypeLetter(TIdFTPListItem& item) {
    if (!item.Data.empty() && (item.Data[0] == 'd' || item.Data[0] == 'D')) {
        item.ItemType = ditDirectory;
    }
}

// `value` is taken by reference: callers compute `ok` in the same call, filling it.
void setWhen(TIdFTPListItem& item, bool ok, const harbrook::TDateTime& value) {
    item.ModifiedAvail = ok;
    item.ModifiedDate = ok ? value : 0;
}

}  // namespace

// ---- CONNECT:Enterprise for UNIX, "$$" form ----

bool TIdFTPLPSterCommEntUxNS::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::vector<std::string> w = firstLineWords(listing, 4);
    return w.size() >= 3 && w[1] == ">";
}

// "QUADTEST      >  QUA1I1      18128       41 Aug 12 13:56": batch name, marker,
// mailbox, batch number, size and date.
bool TIdFTPLPSterCommEntUxNS::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 9);
    item.SetFileName(w.empty() ? std::string() : w[0]);
    setSize(item, w, 4);
    harbrook::TDateTime when = 0;
    setWhen(item, w.size() >= 8 && readMonthDate(w[5], w[6], w[7], when), when);
    return true;
}

// ---- CONNECT:Enterprise for UNIX, root: the mailboxes ----

namespace {

bool isMailboxTotal(const std::string& line) {
    return trimLeft(line).rfind("Total number of Mailboxes = ", 0) == 0;
}

}  // namespace

bool TIdFTPLPSterCommEntUxRoot::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    return std::any_of(listing.begin(), listing.end(), isMailboxTotal);
}

bool TIdFTPLPSterCommEntUxRoot::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    return parseEntries(listing, dir, [](const std::string& line) { return !isMailboxTotal(line); });
}

// "QUA1I1          3 batches": each mailbox is a folder.
bool TIdFTPLPSterCommEntUxRoot::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 1);
    item.ItemType = ditDirectory;
    item.SizeAvail = false;
    item.ModifiedAvail = false;
    item.SetFileName(w.empty() ? std::string() : w[0]);
    return true;
}

// ---- Connect:Express for OS/390 ----

bool TIdFTPLPSterCommExpOS390::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::vector<std::string> w = firstLineWords(listing, 4);
    return w.size() >= 3 && w[1] == "DF" && w[2] == "012";
}

// "PAYROLL.DATA     DF 012     1,234  09/04/02 10:03": file, record format and its
// code, size, date and time.
bool TIdFTPLPSterCommExpOS390::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 7);
    item.SetFileName(w.empty() ? std::string() : w[0]);
    setSize(item, w, 3);
    harbrook::TDateTime when = 0;
    setWhen(item, w.size() >= 6 && readDateTime(w[4], w[5], "", when), when);
    return true;
}

// ---- Netware Print Services for Unix ----

namespace {

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

bool startsWithType(const std::string& line) {
    return !line.empty() && (line[0] == 'd' || line[0] == 'D' || line[0] == '-');
}

// The type letter, then the rights within the first twelve characters.
bool hasPsuRights(const std::string& line) {
    if (!startsWithType(line)) {
        return false;
    }
    const std::vector<std::string> w = words(line.substr(1, 11), 2);
    return !w.empty() && isPsuRights(w[0]);
}

}  // namespace

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

namespace {

// "- [RWCEAFMS] supervisor    1,234 Jun 25 2007  3:10 PM  report.txt"
bool isPsuNfsLine(const std::string& line) {
    const std::vector<std::string> w = words(line, 10);
    bool sized = false;
    if (w.size() < 10 || !startsWithType(line)) {
        return false;
    }
    sizeWithSeparators(w[3], sized);
    return sized && w[3].find(',') != std::string::npos && (w[8] == "AM" || w[8] == "PM");
}

}  // namespace

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

// ---- Distinct TCP/IP ----

namespace {

// Six attribute places, "wash-d": writable, archive, system, hidden, unused, directory.
bool isDistinctAttributes(const std::string& word) {
    static const std::string places = "wash-d";
    if (word.size() != places.size()) {
        return false;
    }
    for (std::size_t i = 0; i < places.size(); ++i) {
        if (word[i] != '-' && word[i] != places[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool TIdFTPLPDistinctTCPIP::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::vector<std::string> w = firstLineWords(listing, 4);
    return w.size() >= 3 && isDistinctAttributes(w[0]) && isNumber(w[1]) && monthNumber(w[2]) != 0;
}

// "w-a--d          0  Aug 21 1998  12:34  SUBDIR", "wa----       1523  Aug 21 12:34  README.TXT"
bool TIdFTPLPDistinctTCPIP::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 7);
    if (!w.empty() && w[0].size() == 6 && w[0][5] == 'd') {
        item.ItemType = ditDirectory;
        item.SizeAvail = false;
    } else if (w.size() >= 2) {
        item.Size = toInt64(w[1]);
    }
    // Either "Mon DD YYYY HH:MM name" or "Mon DD HH:MM name".
    harbrook::TDateTime when = 0;
    std::size_t nameAt = 5;
    bool ok = false;
    if (w.size() >= 6 && isNumber(w[4]) && w[5].find(':') != std::string::npos) {
        harbrook::TDateTime day = 0;
        harbrook::TDateTime time = 0;
        const std::size_t colon = w[5].find(':');
        ok = readMonthDate(w[2], w[3], w[4], day) &&
             harbrook::tryEncodeTime(toInt(w[5].substr(0, colon), -1), toInt(w[5].substr(colon + 1), -1), 0, 0, time);
        when = day + time;
        nameAt = 6;
    } else if (w.size() >= 5) {
        ok = readMonthDate(w[2], w[3], w[4], when);
    }
    setWhen(item, ok, when);
    item.SetFileName(afterWords(item.Data, nameAt));
    return true;
}

// ---- Bull GCOS 8 ----

namespace {

bool isGcos8Line(const std::string& line) {
    const std::vector<std::string> w = words(line, 3);
    return w.size() >= 2 && (w[0] == "d" || w[0] == "-") && onlyFrom(w[1], "tsrwx-") && w[1].size() >= 3;
}

}  // namespace

bool TIdFTPLPGOS8::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::string line = firstLine(listing);
    return !line.empty() && isGcos8Line(line);
}

// "-  rw-r--  JDOE          1234  09/04/02  10:03  PAYROLL": type, permissions, owner,
// size, date, time, name.
bool TIdFTPLPGOS8::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 7);
    if (!w.empty() && w[0] == "d") {
        item.ItemType = ditDirectory;
    }
    item.PermissionDisplay = w.size() >= 2 ? w[1] : std::string();
    setSize(item, w, 3);
    harbrook::TDateTime when = 0;
    setWhen(item, w.size() >= 6 && readDateTime(w[4], w[5], "", when), when);
    item.SetFileName(afterWords(item.Data, 6));
    return true;
}

// ---- Bull GCOS 7 ----

bool TIdFTPLPGOS7::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::vector<std::string> w = firstLineWords(listing, 4);
    return w.size() >= 3 && w[0].size() <= 4 && onlyFrom(w[0], "-dsm") && isNumber(w[1]) &&
           w[2].find('/') != std::string::npos;
}

// "-d     0  09/04/02  10:03  SUBCAT", "-s  1234  09/04/02  10:05  PAYROLL.DATA":
// attributes (d directory, s sequential, m member), size, date, time, name.
bool TIdFTPLPGOS7::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 6);
    if (!w.empty() && w[0].find('d') != std::string::npos) {
        item.ItemType = ditDirectory;
        item.SizeAvail = false;
    } else if (w.size() >= 2) {
        item.Size = toInt64(w[1]);
    }
    item.PermissionDisplay = w.empty() ? std::string() : w[0];
    harbrook::TDateTime when = 0;
    setWhen(item, w.size() >= 4 && readDateTime(w[2], w[3], "", when), when);
    item.SetFileName(afterWords(item.Data, 4));
    return true;
}
