// TCP/IP stacks of PCs and small devices: WinQVT/NET, WfFTP, PC-NFSD, NCSA (Mac and
// MS-DOS), KA9Q NOS, Cisco IOS, NetManage Chameleon/Newt, SuperTCP and Distinct TCP/IP.

#include <algorithm>
#include <cctype>

#include "ftp/listing/IdFTPListParsers.h"
#include "platform/DateTime.h"

using namespace harbrook::listing;

namespace {

// A SuperTCP line: short name, <DIR> or size, date, time.
bool isSuperTcpLine(std::string_view line) {
    const std::vector<std::string> w = words(line, 5);
    if (w.size() != 4) {
        return false;
    }
    const std::string& name = w[0];
    const std::size_t dot = name.find('.');
    const bool shortName = name == "." || name == ".." || (dot != std::string::npos ? dot >= 1 && dot <= 8
                                                                                   : name.size() <= 8);
    return shortName && (w[1] == "<DIR>" || isNumber(w[1])) &&
           (looksLikeDate(w[2], '/') || looksLikeDate(w[2], '-')) && w[3].find(':') != std::string::npos;
}

// "05-10-96", "3/12/1995": month, day and year separated by "-" or "/".
bool splitDate(std::string_view word, int& month, int& day, int& year) {
    const std::size_t first = word.find_first_of("-/");
    if (first == std::string::npos) {
        return false;
    }
    const std::size_t second = word.find(word[first], first + 1);
    if (second == std::string::npos) {
        return false;
    }
    const std::string_view m = word.substr(0, first);
    const std::string_view d = word.substr(first + 1, second - first - 1);
    const std::string_view y = word.substr(second + 1);
    if (!isNumber(m) || !isNumber(d) || !isNumber(y) || m.size() > 2 || d.size() > 2 ||
        (y.size() != 2 && y.size() != 4)) {
        return false;
    }
    month = toInt(m);
    day = toInt(d);
    year = toInt(y);
    return true;
}

bool isDateWord(std::string_view word) {
    int month = 0, day = 0, year = 0;
    return splitDate(word, month, day, year);
}

// "9:42", "12:10p", "09:14pm": hours and minutes, with an optional a/p(m) mark.
bool splitTime(std::string_view word, int& hour, int& minute) {
    std::string text(word);
    char mark = '\0';
    if (text.size() > 2 && (text.back() == 'm' || text.back() == 'M')) {
        text.pop_back();
    }
    if (!text.empty() && std::string("aApP").find(text.back()) != std::string::npos) {
        mark = static_cast<char>(text.back() | 0x20);
        text.pop_back();
    }
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 2) {
        return false;
    }
    const std::string h = text.substr(0, colon);
    const std::string m = text.substr(colon + 1, 2);
    if (!isNumber(h) || !isNumber(m) || m.size() != 2) {
        return false;
    }
    hour = toInt(h);
    minute = toInt(m);
    if (mark != '\0') {
        if (hour < 1 || hour > 12) {
            return false;
        }
        hour = hour % 12 + (mark == 'p' ? 12 : 0);
    }
    return true;
}

bool isTimeWord(std::string_view word) {
    int hour = 0, minute = 0;
    return splitTime(word, hour, minute);
}

// Sets the entry's modification time from a date and a time word; unavailable when
// either does not read as one.
void setModified(TIdFTPListItem& item, const std::string& dateWord, const std::string& timeWord) {
    int month = 0, day = 0, year = 0, hour = 0, minute = 0;
    harbrook::TDateTime date = 0;
    harbrook::TDateTime time = 0;
    item.ModifiedAvail = splitDate(dateWord, month, day, year) && splitTime(timeWord, hour, minute) &&
                         harbrook::tryEncodeDate(fullYear(year, harbrook::listingClock()), month, day, date) &&
                         harbrook::tryEncodeTime(hour, minute, 0, 0, time);
    item.ModifiedDate = item.ModifiedAvail ? date + time : 0;
}

// A size as DOS-like systems print it, thousands separators allowed.
bool isSizeWord(std::string_view word) {
    bool ok = false;
    sizeWithSeparators(word, ok);
    return ok;
}

std::int64_t sizeOf(std::string_view word) {
    bool ok = false;
    return sizeWithSeparators(word, ok);
}

// Name lists where folders carry a trailing "/".
void parseMarkedName(TIdFTPListItem& item) {
    std::string name(item.Data);
    item.SizeAvail = false;
    item.ModifiedAvail = false;
    if (name.size() > 1 && name.back() == '/') {
        name.pop_back();
        item.ItemType = ditDirectory;
    }
    item.SetFileName(name);
}

// "name <DIR>|size date time": the entry form WinQVT/NET and NCSA for MS-DOS share.
bool parseNameSizeDateTime(TIdFTPListItem& item) {
    const std::vector<std::string> w = words(item.Data, 5);
    if (w.size() < 4) {
        return false;
    }
    if (w[1] == "<DIR>") {
        item.ItemType = ditDirectory;
        item.SizeAvail = false;
    } else {
        item.Size = sizeOf(w[1]);
    }
    setModified(item, w[2], w[3]);
    item.SetFileName(w[0]);
    return true;
}

bool isNameSizeDateTime(std::string_view line) {
    const std::vector<std::string> w = words(line, 5);
    return w.size() == 4 && (w[1] == "<DIR>" || isSizeWord(w[1])) && isDateWord(w[2]) &&
           isTimeWord(w[3]);
}

// "README   TXT      1024  3-07-95  12:10p", "SUBDIR       <DIR>   3-07-95  12:10p"
bool isPcNfsdLine(std::string_view line) {
    const std::vector<std::string> w = words(line, 7);
    if (w.size() < 4 || w.size() > 5) {
        return false;
    }
    const std::string& time = w.back();
    const char last = time.empty() ? '\0' : static_cast<char>(time.back() | 0x20);
    const std::string& sizeWord = w[w.size() - 3];
    return (last == 'a' || last == 'p') && isTimeWord(time) && w[w.size() - 2].find('-') != std::string::npos &&
           isDateWord(w[w.size() - 2]) && (sizeWord == "<DIR>" || isNumber(sizeWord));
}

// "        3 Files      12345 Bytes    1234567 Available"
bool isNcsaDosFooter(std::string_view line) {
    return hasAllWords(line, {"Bytes", "Available"});
}

// "3 files. 1,234,567 bytes free", "1 file."
bool isKa9qFooter(std::string_view line) {
    const std::vector<std::string> w = words(line, 3);
    if (w.size() < 2 || !isNumber(w[0])) {
        return false;
    }
    std::string word = w[1];
    while (!word.empty() && (word.back() == '.' || word.back() == ',')) {
        word.pop_back();
    }
    return equalsIgnoringCase(word, "file") || equalsIgnoringCase(word, "files");
}

// "DESIGN1.DOC          11264      May 11 1995 14:20   A", "CMT  <DIR>  Nov 21 1994 10:17"
bool isChameleonLine(std::string_view line) {
    const std::vector<std::string> w = words(line, 8);
    return w.size() >= 6 && (w[1] == "<DIR>" || isNumber(w[1])) && monthNumber(w[2]) != 0 &&
           isNumber(w[3]) && isNumber(w[4]) && isTimeWord(w[5]);
}

// Six attribute places, "wash-d": writable, archive, system, hidden, unused, directory.
bool isDistinctAttributes(std::string_view word) {
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

// ---- SuperTCP ----

bool TIdFTPLPSuperTCP::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    bool any = false;
    for (std::string_view line : listing) {
        if (line.empty()) {
            continue;
        }
        if (!isSuperTcpLine(line)) {
            return false;
        }
        any = true;
    }
    return any;
}

bool TIdFTPLPSuperTCP::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 4);
    if (w.size() > 1 && w[1] == "<DIR>") {
        item.ItemType = ditDirectory;
        item.SizeAvail = false;
    } else if (w.size() > 1) {
        item.Size = toInt64(w[1]);
    }
    item.ModifiedAvail = false;
    item.SetFileName(w.empty() ? std::string() : w[0]);
    return true;
}

// ---- WinQVT/NET ----

bool TIdFTPLPWinQVNet::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::string line = firstLine(listing);
    if (line.empty() || at(line, 38) != '-' || at(line, 41) != '-' || at(line, 49) != ':' ||
        at(line, 46) != ' ') {
        return false;
    }
    // The date fills all ten columns (four-digit year); OS/2 servers put a two-digit-year
    // date and a time at the same marks, so a shorter date is theirs, not ours.
    const std::string date = line.substr(35, 10);
    return date.find(' ') == std::string::npos && isDateWord(date) && line.size() >= 51 &&
           isTimeWord(trimSpaces(line.substr(46, 5)));
}

// "AUTOEXEC.BAT        734               05-10-1996 09:30"
bool TIdFTPLPWinQVNet::ParseLine(TIdFTPListItem& item, const std::string&) const {
    if (!parseNameSizeDateTime(item)) {
        item.SetFileName(trimSpaces(item.Data));
        item.ModifiedAvail = false;
    }
    return true;
}

// ---- PC-NFSD ----

bool TIdFTPLPPCNFSD::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    return std::any_of(listing.begin(), listing.end(), isPcNfsdLine);
}

bool TIdFTPLPPCNFSD::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    return parseEntries(listing, dir, isPcNfsdLine);
}

bool TIdFTPLPPCNFSD::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 7);
    if (w.size() < 4) {
        item.SetFileName(trimSpaces(item.Data));
        item.ModifiedAvail = false;
        return true;
    }
    const std::size_t sizeAt = w.size() - 3;
    if (w[sizeAt] == "<DIR>") {
        item.ItemType = ditDirectory;
        item.SizeAvail = false;
    } else {
        item.Size = toInt64(w[sizeAt]);
    }
    setModified(item, w[sizeAt + 1], w[sizeAt + 2]);
    // 8.3 names are listed as name and extension columns.
    item.SetFileName(sizeAt >= 2 ? w[0] + "." + w[1] : w[0]);
    return true;
}

// ---- NCSA for MACOS ----

bool TIdFTPLPNCSAforMACOS::CheckListing(const TIdListingLines&, const std::string& systemDescription,
                                        bool) const {
    return systemDescription.rfind("MAC NCSA", 0) == 0 ||
           systemDescription.rfind(" MAC-OS TCP/Connect", 0) == 0;
}

bool TIdFTPLPNCSAforMACOS::ParseLine(TIdFTPListItem& item, const std::string&) const {
    parseMarkedName(item);
    return true;
}

// ---- Cisco IOS ----

bool TIdFTPLPCiscoIOS::CheckListing(const TIdListingLines&, const std::string& systemDescription,
                                    bool) const {
    return systemDescription.rfind("Cisco IOS ", 0) == 0;
}

bool TIdFTPLPCiscoIOS::ParseLine(TIdFTPListItem& item, const std::string&) const {
    parseMarkedName(item);
    return true;
}

// ---- NCSA for MS-DOS (CU/TCP) ----

bool TIdFTPLPNCSAforDOS::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    bool entry = false;
    bool footer = false;
    for (std::string_view line : listing) {
        if (isBlank(line)) {
            continue;
        }
        if (isNcsaDosFooter(line)) {
            footer = true;
        } else if (isNameSizeDateTime(line)) {
            entry = true;
        } else {
            return false;
        }
    }
    return footer && entry;
}

bool TIdFTPLPNCSAforDOS::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    return parseEntries(listing, dir, [](std::string_view line) { return !isNcsaDosFooter(line); });
}

// "AUTOEXEC.BAT        734   5-10-96  9:30"
bool TIdFTPLPNCSAforDOS::ParseLine(TIdFTPListItem& item, const std::string&) const {
    if (!parseNameSizeDateTime(item)) {
        item.SetFileName(trimSpaces(item.Data));
        item.ModifiedAvail = false;
    }
    return true;
}

// ---- KA9Q ----

bool TIdFTPLPKA9Q::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    for (auto line = listing.rbegin(); line != listing.rend(); ++line) {
        if (!isBlank(*line)) {
            return isKa9qFooter(*line);
        }
    }
    return false;
}

bool TIdFTPLPKA9Q::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    return parseEntries(listing, dir, [](std::string_view line) { return !isKa9qFooter(line); });
}

// "readme.txt          1,024  09:14  2/24/94", "bin/                15:03  3/12/95"
bool TIdFTPLPKA9Q::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 6);
    std::string name = w.empty() ? std::string() : w[0];
    if (name.size() > 1 && name.back() == '/') {
        name.pop_back();
        item.ItemType = ditDirectory;
        item.SizeAvail = false;
    }
    std::size_t next = 1;
    if (item.ItemType != ditDirectory && w.size() > 1 && isSizeWord(w[1])) {
        item.Size = sizeOf(w[1]);
        next = 2;
    } else if (item.ItemType != ditDirectory) {
        item.SizeAvail = false;
    }
    if (w.size() >= next + 2) {
        setModified(item, w[next + 1], w[next]);
    } else {
        item.ModifiedAvail = false;
    }
    item.SetFileName(name);
    return true;
}

// ---- NetManage Chameleon/Newt ----

bool TIdFTPLPChameleonNewt::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::string line = firstLine(listing);
    return !line.empty() && isChameleonLine(line);
}

bool TIdFTPLPChameleonNewt::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 8);
    if (w.size() < 6) {
        item.SetFileName(trimSpaces(item.Data));
        item.ModifiedAvail = false;
        return true;
    }
    if (w[1] == "<DIR>") {
        item.ItemType = ditDirectory;
        item.SizeAvail = false;
    } else {
        item.Size = toInt64(w[1]);
    }
    harbrook::TDateTime date = 0;
    harbrook::TDateTime time = 0;
    int hour = 0, minute = 0;
    item.ModifiedAvail = harbrook::tryEncodeDate(toInt(w[4]), monthNumber(w[2]), toInt(w[3]), date) &&
                         splitTime(w[5], hour, minute) && harbrook::tryEncodeTime(hour, minute, 0, 0, time);
    item.ModifiedDate = item.ModifiedAvail ? date + time : 0;
    item.SetFileName(w[0]);
    return true;
}

// ---- WfFTP ----

// " Directory of " alone is also OS-9's header ("Directory of l2tools,."): ours names a
// DOS drive ("C:\DOS").
bool TIdFTPLPWfFTP::IsHeader(std::string_view line) const {
    if (line.find(" Volume - drive ") != std::string::npos) {
        return true;
    }
    const std::string marker = " Directory of ";
    const std::size_t at = line.find(marker);
    if (at == std::string::npos) {
        return false;
    }
    const std::string path = trimLeft(line.substr(at + marker.size()));
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) != 0 && path[1] == ':';
}

bool TIdFTPLPWfFTP::IsFooter(std::string_view line) const {
    return line.find("bytes - Total size") != std::string::npos ||
           line.find("bytes - Contiguous free space") != std::string::npos ||
           line.find("bytes - Available free space") != std::string::npos;
}

// "AUTOEXEC.BAT     734  5-10-96   9:30", "DOS         <DIR>     1-02-96  14:05"
bool TIdFTPLPWfFTP::ParseLine(TIdFTPListItem& item, const std::string&) const {
    if (!parseNameSizeDateTime(item)) {
        item.SetFileName(trimSpaces(item.Data));
        item.ModifiedAvail = false;
    }
    return true;
}

// ---- Distinct TCP/IP ----

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
