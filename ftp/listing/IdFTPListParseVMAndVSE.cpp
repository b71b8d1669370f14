// IBM VM and VSE: VM/CMS minidisks, VM's virtual reader and Byte File System, and
// VSE's six listing forms (libraries, POWER queues, the root, sublibraries, the VSAM
// catalog and the VTOC).

#include <algorithm>
#include <cctype>

#include "ftp/listing/IdFTPListParsers.h"
#include "platform/DateTime.h"

using namespace harbrook::listing;

namespace {

std::string columnsAt(std::string_view line, std::size_t position, std::size_t count) {
    return position - 1 < line.size() ? std::string(line.substr(position - 1, count)) : std::string();
}

// "mm/dd/yy" (or four-digit year) and "hh:mm[:ss]"; unavailable when either fails.
void setSlashDateTime(TIdFTPListItem& item, const std::string& dateWord, const std::string& timeWord) {
    const std::vector<std::string> d = [&] {
        std::vector<std::string> parts;
        std::size_t start = 0;
        for (std::size_t i = 0; i <= dateWord.size(); ++i) {
            if (i == dateWord.size() || dateWord[i] == '/') {
                parts.push_back(dateWord.substr(start, i - start));
                start = i + 1;
            }
        }
        return parts;
    }();
    harbrook::TDateTime date = 0;
    harbrook::TDateTime time = 0;
    bool ok = d.size() == 3 && isNumber(d[0]) && isNumber(d[1]) && isNumber(d[2]) &&
              harbrook::tryEncodeDate(fullYear(toInt(d[2]), harbrook::listingClock()), toInt(d[0]),
                                      toInt(d[1]), date);
    if (ok && !timeWord.empty()) {
        const std::size_t colon = timeWord.find(':');
        const std::size_t second = colon == std::string::npos ? colon : timeWord.find(':', colon + 1);
        const int hour = colon == std::string::npos ? -1 : toInt(timeWord.substr(0, colon), -1);
        const int minute = colon == std::string::npos
                               ? -1
                               : toInt(timeWord.substr(colon + 1, second == std::string::npos
                                                                      ? std::string::npos
                                                                      : second - colon - 1),
                                       -1);
        const int seconds = second == std::string::npos ? 0 : toInt(timeWord.substr(second + 1), -1);
        ok = harbrook::tryEncodeTime(hour, minute, seconds, 0, time);
    }
    item.ModifiedAvail = ok;
    item.ModifiedDate = ok ? date + time : 0;
}

void nameOnly(TIdFTPListItem& item, const std::string& name, TIdDirItemType type) {
    item.ItemType = type;
    item.SizeAvail = false;
    item.ModifiedAvail = false;
    item.SetFileName(name);
}

std::string firstWord(std::string_view line) {
    const std::vector<std::string> w = words(line, 1);
    return w.empty() ? std::string() : w[0];
}

// Dataset lists: "NAME.WITH.DOTS  <letter> ..." where the letter is one of `letters`.
bool isTypedDatasetLine(std::string_view line, const std::string& letters) {
    const std::vector<std::string> w = words(line, 3);
    return w.size() >= 2 && w[0].find('.') != std::string::npos && w[1].size() == 1 &&
           letters.find(w[1][0]) != std::string::npos;
}

bool isPowerQueueLine(std::string_view line) {
    const std::vector<std::string> w = words(line, 8);
    if (w.size() != 6 && w.size() != 7) {
        return false;
    }
    if (std::count(w[0].begin(), w[0].end(), '.') != 2) {
        return false;
    }
    for (std::size_t i = 1; i <= 4; ++i) {
        if (!isNumber(w[i])) {
            return false;
        }
    }
    return std::string("ADHKLXY*INT").find(w[5][0]) != std::string::npos;
}

std::string rootKind(std::string_view line) {
    std::string_view rest = line;
    fetchWord(rest);
    return trimSpaces(rest);
}

bool isRootKind(const std::string& kind) {
    static const char* const kinds[] = {"<Directory>",   "<VSE VTOC>",     "<Library>",
                                        "<Power Queues>", "<VSAM Catalog>", "Entry Seq VSAM"};
    return std::any_of(std::begin(kinds), std::end(kinds), [&](const char* k) { return kind == k; });
}

bool isSublibraryLine(std::string_view line) {
    const std::string trimmed = trimSpaces(line);
    if (trimmed.size() < 3) {
        return false;
    }
    const std::string tail = trimmed.substr(trimmed.size() - 2);
    const std::vector<std::string> w = words(trimmed);
    return (tail == " F" || tail == " S") && w.size() >= 5 && w[3].find('/') != std::string::npos &&
           w[4].find(':') != std::string::npos && (w.back()[0] == 'F' || w.back()[0] == 'S');
}

bool isBfsLine(std::string_view line) {
    const std::string trimmed = trimSpaces(line);
    const std::vector<std::string> w = words(trimmed, 6);
    return !trimmed.empty() && trimmed.back() == '\'' && w.size() > 4 && w[0].find('/') != std::string::npos &&
           (w[2][0] == 'F' || w[2][0] == 'D') && w[4] != "-";
}

}  // namespace

// ---- VM/CMS ----

bool TIdFTPLPVMCMS::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    for (std::string_view line : listing) {
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
            std::any_of(w.begin(), w.end(), [](std::string_view word) { return looksLikeDate(word, '/'); });
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

// ---- VSE:  Library ----

bool TIdFTPLPVSELibrary::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::string line = firstLine(listing);
    return !line.empty() && line.find("<Sub Library>") != std::string::npos;
}

// "PRD2         <Sub Library>       "
bool TIdFTPLPVSELibrary::ParseLine(TIdFTPListItem& item, const std::string&) const {
    nameOnly(item, firstWord(item.Data), ditDirectory);
    return true;
}

// ---- VSE:  PowerQueue ----

bool TIdFTPLPVSEPowerQueue::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::string line = firstLine(listing);
    return !line.empty() && isPowerQueueLine(line);
}

// "PAYROLL.01234.00    12    1    0    3  D  A": job name, number and suffix, then
// record counts, disposition and class. The entries are files to fetch.
bool TIdFTPLPVSEPowerQueue::ParseLine(TIdFTPListItem& item, const std::string&) const {
    nameOnly(item, firstWord(item.Data), ditFile);
    return true;
}

// ---- VSE:  Root Directory ----

bool TIdFTPLPVSERootDir::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::string line = firstLine(listing);
    return !line.empty() && isRootKind(rootKind(line));
}

// "PRD1        <Library>", "VTOC        <VSE VTOC>", "MY.ESDS     Entry Seq VSAM"
bool TIdFTPLPVSERootDir::ParseLine(TIdFTPListItem& item, const std::string&) const {
    nameOnly(item, firstWord(item.Data), rootKind(item.Data) == "Entry Seq VSAM" ? ditFile : ditDirectory);
    return true;
}

// ---- VSE:  Sublibrary ----

bool TIdFTPLPVSESubLibrary::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::string line = firstLine(listing);
    return !line.empty() && isSublibraryLine(line);
}

// "$$BOOT    PHASE      12  01/13/99  10:22:14  F": member, type, records, date, time,
// and F (fixed) or S (string) records.
bool TIdFTPLPVSESubLibrary::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 8);
    item.SizeAvail = false;
    if (w.size() >= 5) {
        setSlashDateTime(item, w[3], w[4]);
    } else {
        item.ModifiedAvail = false;
    }
    item.SetFileName(w.size() >= 2 ? w[0] + "." + w[1] : firstWord(item.Data));
    return true;
}

// ---- VSE:  VSAM Catalog ----

bool TIdFTPLPVSEVSAMCatalog::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::string line = firstLine(listing);
    return !line.empty() && isTypedDatasetLine(line, "EKR");
}

// "PAYROLL.MASTER.KSDS   K   01/13/99": cluster name, E(ntry), K(ey) or R(elative record).
bool TIdFTPLPVSEVSAMCatalog::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 4);
    nameOnly(item, firstWord(item.Data), ditFile);
    if (w.size() >= 3) {
        setSlashDateTime(item, w[2], "");
    }
    return true;
}

// ---- VSE:  VTOC ----

bool TIdFTPLPVSEVTOC::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::string line = firstLine(listing);
    return !line.empty() && isTypedDatasetLine(line, "SDVIU");
}

// "VSE.DUMP.LIBRARY   S   01/13/99": data set name, S(equential), D(irect), V(SAM),
// I(ndexed) or U(ndefined).
bool TIdFTPLPVSEVTOC::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 4);
    nameOnly(item, firstWord(item.Data), ditFile);
    if (w.size() >= 3) {
        setSlashDateTime(item, w[2], "");
    }
    return true;
}

// ---- VM Virtual Reader ----

bool TIdFTPLVirtualReader::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::vector<std::string> w = firstLineWords(listing, 4);
    return w.size() > 2 && w[0].size() == 4 && isNumber(w[0]) && w[2].size() == 8 && isNumber(w[2]);
}

// "0113 TCPMAINT 00000026 PUN A PROFILE  EXEC     02/11 09:14:33": spool id, origin,
// records, device, class, file name and type, date without a year, time. Files are
// fetched by their spool id, so that is the name.
bool TIdFTPLVirtualReader::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 10);
    nameOnly(item, w.empty() ? std::string() : w[0], ditFile);
    if (w.size() >= 9) {
        const std::string& date = w[7];
        const std::size_t slash = date.find('/');
        const harbrook::ListingClock clock = harbrook::listingClock();
        if (slash != std::string::npos && isNumber(date.substr(0, slash)) && isNumber(date.substr(slash + 1))) {
            const int month = toInt(date.substr(0, slash));
            const int day = toInt(date.substr(slash + 1));
            setSlashDateTime(item, date + "/" + std::to_string(yearForMonthDay(month, day, clock)), w[8]);
        }
    }
    return true;
}

// ---- VM/BFS ----

bool TIdFTPLPVMBFS::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::string line = firstLine(listing);
    return !line.empty() && isBfsLine(line);
}

// "09/04/02 10:03:25 F  1    1234 ROB  SYS 'readme.txt'": date, time, F(ile) or
// D(irectory), links, size ("-" for folders), owner, group, quoted name.
bool TIdFTPLPVMBFS::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::string line(item.Data);
    const std::vector<std::string> w = words(line, 6);
    const std::size_t open = line.find('\'');
    const std::size_t close = line.rfind('\'');
    item.SetFileName(open != std::string::npos && close > open ? line.substr(open + 1, close - open - 1)
                                                              : trimSpaces(line));
    if (w.size() >= 3 && w[2][0] == 'D') {
        item.ItemType = ditDirectory;
    }
    if (w.size() >= 5 && isNumber(w[4])) {
        item.Size = toInt64(w[4]);
    } else {
        item.SizeAvail = false;
    }
    if (w.size() >= 2) {
        setSlashDateTime(item, w[0], w[1]);
    } else {
        item.ModifiedAvail = false;
    }
    return true;
}
