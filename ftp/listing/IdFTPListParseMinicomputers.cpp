// Minicomputer and mainframe systems outside IBM: Tandem NonStop Guardian, Stratus
// VOS, TOPS-20, TSX+ (RT-11), MUSIC/SP and Bull's GCOS 7 and GCOS 8.

#include <algorithm>
#include <cctype>

#include "ftp/listing/IdFTPListParsers.h"
#include "platform/DateTime.h"

using namespace harbrook::listing;

namespace {

// " Directory [ DK:/*.* ]   Files: 3   Block: 150 "
bool isTsxFooter(std::string_view line) {
    const std::string u = upper(line);
    return u.find("DIRECTORY") != std::string::npos && u.find("FILES") != std::string::npos &&
           u.find("BLOCK") != std::string::npos && u.find('[') != std::string::npos &&
           u.find(']') != std::string::npos;
}

enum class VosSection { None, Files, Dirs, Links };

VosSection sectionOf(std::string_view line) {
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

// "PS:<ANONYMOUS>": the folder the following names belong to.
bool isTops20Header(std::string_view line) {
    const std::string trimmed = trimSpaces(line);
    const std::size_t open = trimmed.find(":<");
    return open != std::string::npos && !trimmed.empty() && trimmed.back() == '>';
}

bool onlyFrom(std::string_view word, const std::string& allowed) {
    return !word.empty() && word.find_first_not_of(allowed) == std::string::npos;
}

bool isGcos8Line(std::string_view line) {
    const std::vector<std::string> w = words(line, 3);
    return w.size() >= 2 && (w[0] == "d" || w[0] == "-") && onlyFrom(w[1], "tsrwx-") && w[1].size() >= 3;
}

}  // namespace

// ---- Tandem NonStop Guardian ----

bool TIdFTPLPTandemGuardian::IsHeader(std::string_view line) const {
    return hasAllWords(line, {"File", "Code", "EOF", "Last", "Modification", "Owner", "RWEP"});
}

// "EMSACSTM      101             146  18-Sep-00 09:03:37 170,175 "nunu""
// "TACLCSTM   O  101             101  4-Mar-01  23:50:06 255,255 "oooo""  (O: open)
bool TIdFTPLPTandemGuardian::ParseLine(TIdFTPListItem& item, const std::string&) const {
    std::string text(item.Data);
    const std::string name = fetchWord(text);
    std::string code = fetchWord(text);
    if (!isNumber(code)) {
        code = fetchWord(text);
    }
    item.Size = toInt64(fetchWord(text));
    std::string date = fetchWord(text);
    std::replace(date.begin(), date.end(), '-', ' ');
    const std::vector<std::string> parts = words(date);
    harbrook::TDateTime day = 0;
    item.ModifiedAvail = parts.size() == 3 &&
                         harbrook::tryEncodeDate(fullYear(toInt(parts[2]), harbrook::listingClock()),
                                                 monthNumber(parts[1]), toInt(parts[0]), day);
    item.ModifiedDate = item.ModifiedAvail ? day : 0;
    item.SetFileName(name);
    return true;
}

// ---- MUSIC/SP ----

bool TIdFTPLPMusic::IsHeader(std::string_view line) const {
    return hasAllWords(line, {"File", "name", "RlenRf", "Size", "Read", "Write", "By", "Attrbs", "#Recs"});
}

// "PROFILE                  80FC      1K   02/11/96 05/21/96  LIB      1       25"
// Name, record length and format, size in kilobytes, last read and written dates. A
// name ending in "\" is a folder.
bool TIdFTPLPMusic::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 8);
    std::string name = w.empty() ? std::string() : w[0];
    if (name.size() > 1 && name.back() == '\\') {
        name.pop_back();
        item.ItemType = ditDirectory;
    }
    // Kilobyte sizes are not byte counts; the written date is the modification date.
    item.SizeAvail = false;
    item.ModifiedAvail = false;
    if (w.size() >= 5) {
        const std::string& written = w[4];
        const std::size_t first = written.find('/');
        const std::size_t second = first == std::string::npos ? first : written.find('/', first + 1);
        harbrook::TDateTime date = 0;
        if (second != std::string::npos && isNumber(written.substr(0, first)) &&
            isNumber(written.substr(first + 1, second - first - 1)) && isNumber(written.substr(second + 1)) &&
            harbrook::tryEncodeDate(fullYear(toInt(written.substr(second + 1)), harbrook::listingClock()),
                                    toInt(written.substr(0, first)),
                                    toInt(written.substr(first + 1, second - first - 1)), date)) {
            item.ModifiedAvail = true;
            item.ModifiedDate = date;
        }
    }
    item.SetFileName(name);
    return true;
}

// ---- TSX+ ----

bool TIdFTPLPTSXPlus::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    return std::any_of(listing.rbegin(), listing.rend(), isTsxFooter);
}

bool TIdFTPLPTSXPlus::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    return parseEntries(listing, dir, [](std::string_view line) { return !isTsxFooter(line); });
}

// "TSX.SAV       123  12-Jun-95": RT-11 name, 512-byte blocks, dd-Mon-yy.
bool TIdFTPLPTSXPlus::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 4);
    item.SizeAvail = false;
    item.ModifiedAvail = false;
    if (w.size() >= 3) {
        const std::string& date = w[2];
        const std::size_t first = date.find('-');
        const std::size_t second = first == std::string::npos ? first : date.find('-', first + 1);
        harbrook::TDateTime day = 0;
        if (second != std::string::npos && isNumber(date.substr(0, first)) &&
            isNumber(date.substr(second + 1)) &&
            harbrook::tryEncodeDate(fullYear(toInt(date.substr(second + 1)), harbrook::listingClock()),
                                    monthNumber(date.substr(first + 1, second - first - 1)),
                                    toInt(date.substr(0, first)), day)) {
            item.ModifiedAvail = true;
            item.ModifiedDate = day;
        }
    }
    item.SetFileName(w.empty() ? std::string() : w[0]);
    return true;
}

// ---- Stratus VOS ----

bool TIdFTPLPStratusVOS::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    VosSection section = VosSection::None;
    bool any = false;
    for (std::string_view line : listing) {
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
    for (std::string_view line : listing) {
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
    const std::string line(item.Data);
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

// ---- TOPS20 ----

bool TIdFTPLPTOPS20::CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                                  bool) const {
    if (startsWithIgnoringCase(trimLeft(systemDescription), "TOPS20")) {
        return true;
    }
    const std::string line = firstLine(listing);
    if (line.empty()) {
        return false;
    }
    const std::size_t open = line.find(":<");
    const std::size_t close = open == std::string::npos ? open : line.find('>', open + 2);
    return close != std::string::npos &&
           (isTops20Header(line) || line.find('.', close) != std::string::npos);
}

bool TIdFTPLPTOPS20::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    return parseEntries(listing, dir, [](std::string_view line) { return !isTops20Header(line); });
}

// " README.TXT.1", "PS:<ANONYMOUS>SUBDIR.DIRECTORY.1": name, type, generation.
bool TIdFTPLPTOPS20::ParseLine(TIdFTPListItem& item, const std::string&) const {
    std::string name = trimSpaces(item.Data);
    const std::size_t close = name.find('>');
    if (close != std::string::npos) {
        name = name.substr(close + 1);
    }
    // Attributes may follow after a ";" (";P777700"); the generation is the last part.
    const std::size_t semicolon = name.find(';');
    if (semicolon != std::string::npos) {
        name = name.substr(0, semicolon);
    }
    const std::size_t lastDot = name.rfind('.');
    if (lastDot != std::string::npos && lastDot + 1 < name.size() && isNumber(name.substr(lastDot + 1))) {
        name = name.substr(0, lastDot);
    }
    const std::string suffix = ".DIRECTORY";
    if (name.size() > suffix.size() && equalsIgnoringCase(name.substr(name.size() - suffix.size()), suffix)) {
        name = name.substr(0, name.size() - suffix.size());
        item.ItemType = ditDirectory;
    }
    item.SizeAvail = false;
    item.ModifiedAvail = false;
    item.SetFileName(name);
    return true;
}

// ---- Bull GCOS8 ----

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
    item.SetPermissionDisplay(w.size() >= 2 ? w[1] : std::string());
    setSize(item, w, 3);
    harbrook::TDateTime when = 0;
    setWhen(item, w.size() >= 6 && readDateTime(w[4], w[5], "", when), when);
    item.SetFileName(afterWords(item.Data, 6));
    return true;
}

// ---- Bull GCOS7 ----

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
    item.SetPermissionDisplay(w.empty() ? std::string() : w[0]);
    harbrook::TDateTime when = 0;
    setWhen(item, w.size() >= 4 && readDateTime(w[2], w[3], "", when), when);
    item.SetFileName(afterWords(item.Data, 4));
    return true;
}
