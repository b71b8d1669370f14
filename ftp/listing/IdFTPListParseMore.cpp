// VM/CMS, SuperTCP, Stratus VOS, CONNECT:Enterprise for UNIX and MPE/iX with POSIX names.

#include <algorithm>

#include "ftp/listing/IdFTPListParsers.h"

using namespace harbrook::listing;

namespace {

std::string columnsAt(const std::string& line, std::size_t position, std::size_t count) {
    return position - 1 < line.size() ? line.substr(position - 1, count) : std::string();
}

char at(const std::string& line, std::size_t position) {
    return position - 1 < line.size() ? line[position - 1] : '\0';
}

// "11/21/97", " 2/07/98" read as a word: month, day and year with "/" or "-".
bool looksLikeDate(const std::string& word, char separator) {
    const std::size_t first = word.find(separator);
    const std::size_t second = first == std::string::npos ? first : word.find(separator, first + 1);
    return second != std::string::npos && isNumber(word.substr(0, first)) &&
           isNumber(word.substr(first + 1, second - first - 1)) && isNumber(word.substr(second + 1));
}

}  // namespace

bool TIdFTPLPVMCMS::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    for (const std::string& line : listing) {
        if (line.empty()) {
            continue;
        }
        const std::string format = trimSpaces(columnsAt(line, 19, 3));
        const bool fixedColumns = (format == "F" || format == "V" || format == "DIR") &&
                                  ((at(line, 56) == '/' && at(line, 59) == '/') ||
                                   (at(line, 58) == '-' && at(line, 61) == '-') ||
                                   (at(line, 48) == '-' && at(line, 51) == '-'));
        // Servers that do not keep VM's columns: the same fields as words.
        const std::vector<std::string> w = words(line, 10);
        const bool wordColumns =
            w.size() >= 8 && (w[2] == "F" || w[2] == "V" || w[1] == "DIR") &&
            std::any_of(w.begin(), w.end(), [](const std::string& word) { return looksLikeDate(word, '/'); });
        return fixedColumns || wordColumns;
    }
    return false;
}

// "$README  $FIRST   F         80          7          1 11/21/97 23:26:08 FTP301"
// "ART               DIR        -          -          - 11/24/95 17:45:47 -"
bool TIdFTPLPVMCMS::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data);
    item.SizeAvail = false;
    item.ModifiedAvail = false;
    if (w.size() >= 2 && w[1] == "DIR") {
        item.ItemType = ditDirectory;
        item.SetFileName(w[0]);
    } else if (w.size() >= 2) {
        item.SetFileName(w[0] + "." + w[1]);
    } else {
        item.SetFileName(w.empty() ? std::string() : w[0]);
    }
    return true;
}

namespace {

// A SuperTCP line: short name, <DIR> or size, date, time.
bool isSuperTcpLine(const std::string& line) {
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

}  // namespace

bool TIdFTPLPSuperTCP::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    bool any = false;
    for (const std::string& line : listing) {
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

namespace {

enum class VosSection { None, Files, Dirs, Links };

VosSection sectionOf(const std::string& line) {
    const std::string trimmed = trimLeft(line);
    if (trimmed.rfind("Files:", 0) == 0) {
        return VosSection::Files;
    }
    if (trimmed.rfind("Dirs:", 0) == 0) {
        return VosSection::Dirs;
    }
    if (trimmed.rfind("Links:", 0) == 0) {
        return VosSection::Links;
    }
    return VosSection::None;
}

}  // namespace

bool TIdFTPLPStratusVOS::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    VosSection section = VosSection::None;
    bool any = false;
    for (const std::string& line : listing) {
        if (isBlank(line)) {
            continue;
        }
        const VosSection starts = sectionOf(line);
        if (starts != VosSection::None) {
            section = starts;
            continue;
        }
        // Every entry line sits in a section.
        if (section == VosSection::None || words(line, 5).size() < 5) {
            return false;
        }
        any = true;
    }
    return any;
}

bool TIdFTPLPStratusVOS::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    VosSection section = VosSection::None;
    for (const std::string& line : listing) {
        if (isBlank(line)) {
            continue;
        }
        const VosSection starts = sectionOf(line);
        if (starts != VosSection::None) {
            section = starts;
            continue;
        }
        TIdFTPListItem& item = addItem(dir, line);
        ParseLine(item, {});
        if (section == VosSection::Dirs) {
            item.ItemType = ditDirectory;
        } else if (section == VosSection::Links) {
            item.ItemType = ditSymbolicLink;
        }
    }
    return true;
}

// Files: " w      1  seq       99-06-15 13:11:39  member_srv.error" (status, blocks,
// organisation, date, time, name); Dirs: " m      3  98-12-25 16:14:58  amano".
bool TIdFTPLPStratusVOS::ParseLine(TIdFTPListItem& item, const std::string&) const {
    // The name follows the time, the first word with ":" (one pass over the line: a
    // line of many thousand words must stay cheap).
    const std::string& line = item.Data;
    std::size_t at = 0;
    std::size_t afterTime = line.size();
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(' ', at);
        if (start == std::string::npos) {
            break;
        }
        const std::size_t end = std::min(line.find(' ', start), line.size());
        if (std::find(line.begin() + static_cast<long>(start), line.begin() + static_cast<long>(end), ':') !=
            line.begin() + static_cast<long>(end)) {
            afterTime = end;
            break;
        }
        at = end;
    }
    item.SizeAvail = false;
    item.ModifiedAvail = false;
    std::string name = trimLeft(line.substr(afterTime));
    const std::size_t arrow = name.find(" -> ");
    if (arrow != std::string::npos) {
        name.erase(arrow);
    }
    item.SetFileName(name);
    return true;
}

bool TIdFTPLPSterCommEntUx::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    for (const std::string& line : listing) {
        if (line.empty()) {
            continue;
        }
        const std::vector<std::string> w = words(line, 3);
        // "-C--E-----FTP B": ten flag places, the protocol, then a one-letter column.
        return w.size() >= 2 && w[0].size() >= 11 &&
               w[0].find_first_not_of("-ACDEFINPRSTU", 0) >= 10 && w[1].size() == 1 &&
               std::isalpha(static_cast<unsigned char>(w[1][0])) != 0;
    }
    return false;
}

bool TIdFTPLPSterCommEntUx::ParseLine(TIdFTPListItem& item, const std::string&) const {
    std::string text = item.Data;
    for (int skip = 0; skip < 4; ++skip) {
        fetchWord(text);  // flags, protocol letter, mailbox, batch number
    }
    item.Size = toInt64(fetchWord(text));
    const int month = monthNumber(fetchWord(text));
    const int day = toInt(fetchWord(text));
    const std::string yearOrTime = fetchWord(text);
    const harbrook::ListingClock clock = harbrook::listingClock();
    const std::size_t colon = yearOrTime.find(':');
    const int year = colon == std::string::npos ? toInt(yearOrTime) : yearForMonthDay(month, day, clock);
    harbrook::TDateTime date = 0;
    harbrook::TDateTime time = 0;
    item.ModifiedAvail =
        harbrook::tryEncodeDate(year, month, day, date) &&
        (colon == std::string::npos ||
         harbrook::tryEncodeTime(toInt(yearOrTime.substr(0, colon), -1), toInt(yearOrTime.substr(colon + 1), -1),
                                 0, 0, time));
    item.ModifiedDate = item.ModifiedAvail ? date + time : 0;
    item.SetFileName(text.empty() ? std::string() : text.substr(1));
    return true;
}

// "PATH=" opens the listing; the column headers hide LOGICAL inside a ruler
// ("------------LOGICAL RECORD-----------"), so their other words decide.
bool TIdFTPLPMPiXWithPOSIX::IsHeader(const std::string& line) const {
    const std::string u = upper(line);
    return u.find("PATH=") != std::string::npos || hasAllWords(line, {"CODE", "FILENAME"}) ||
           hasAllWords(line, {"SIZE", "TYP", "EOF", "LIMIT"});
}

// "          16W  HBD          0   67107839   1       32  1  *  incoming/"
bool TIdFTPLPMPiXWithPOSIX::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data);
    std::string name = w.empty() ? std::string() : w.back();
    if (!name.empty() && name.back() == '/') {
        name.pop_back();
        item.ItemType = ditDirectory;
    }
    // EOF counts records of the file's own length: no byte size.
    item.SizeAvail = false;
    item.ModifiedAvail = false;
    item.SetFileName(name);
    return true;
}
