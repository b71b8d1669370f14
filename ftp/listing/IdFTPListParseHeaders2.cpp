// More layouts known by their column headers or footers: Xecom Micro RTOS, MUSIC/SP,
// MPE/iX and TSX+.

#include <algorithm>

#include "ftp/listing/IdFTPListParsers.h"
#include "platform/DateTime.h"

using namespace harbrook::listing;

namespace {

void noSizeNoDate(TIdFTPListItem& item) {
    item.SizeAvail = false;
    item.ModifiedAvail = false;
}

}  // namespace

// ---- Xecom Micro RTOS ----

bool TIdFTPLPXecomMicroRTOS::IsHeader(const std::string& line) const {
    return hasAllWords(line, {"Start", "End", "length", "File", "name"});
}

bool TIdFTPLPXecomMicroRTOS::IsFooter(const std::string& line) const {
    return hasAllWords(line, {"Total", "files,", "bytes"});
}

// "00000000 0000FFFF  65536 BOOT.BIN": start and end address (hex), length, name.
bool TIdFTPLPXecomMicroRTOS::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 4);
    item.ModifiedAvail = false;
    if (w.size() >= 3 && isNumber(w[2])) {
        item.Size = toInt64(w[2]);
    } else {
        item.SizeAvail = false;
    }
    item.SetFileName(afterWords(item.Data, 3));
    return true;
}

// ---- MUSIC/SP ----

bool TIdFTPLPMusic::IsHeader(const std::string& line) const {
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

// ---- MPE/iX ----

namespace {

bool isAccountGroupLine(const std::string& line) {
    const std::string u = upper(line);
    return (u.find("ACCOUNT=") != std::string::npos || u.find("ACCOUNT =") != std::string::npos) &&
           (u.find("GROUP=") != std::string::npos || u.find("GROUP =") != std::string::npos);
}

}  // namespace

// Only "ACCOUNT= ... GROUP= ..." opens this listing: the column rulers below it are the
// same as the POSIX-names form's, which is told by its "PATH=" line instead.
bool TIdFTPLPMPiX::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    for (const std::string& line : listing) {
        if (!isBlank(line) && !isRule(line)) {
            return isAccountGroupLine(line);
        }
    }
    return false;
}

// "ACCOUNT=  SYS         GROUP=  PUB", then the FILENAME/CODE and SIZE/TYP/EOF rulers.
bool TIdFTPLPMPiX::IsHeader(const std::string& line) const {
    return isAccountGroupLine(line) || hasAllWords(line, {"FILENAME", "CODE"}) ||
           hasAllWords(line, {"SIZE", "TYP", "EOF", "LIMIT"});
}

// "CATALOG        128W  FB         312       312  1      88  1  1": the file name
// comes first; sizes count records, not bytes.
bool TIdFTPLPMPiX::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 2);
    noSizeNoDate(item);
    item.SetFileName(w.empty() ? std::string() : w[0]);
    return true;
}

// ---- TSX+ ----

namespace {

// " Directory [ DK:/*.* ]   Files: 3   Block: 150 "
bool isTsxFooter(const std::string& line) {
    const std::string u = upper(line);
    return u.find("DIRECTORY") != std::string::npos && u.find("FILES") != std::string::npos &&
           u.find("BLOCK") != std::string::npos && u.find('[') != std::string::npos &&
           u.find(']') != std::string::npos;
}

}  // namespace

bool TIdFTPLPTSXPlus::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    return std::any_of(listing.rbegin(), listing.rend(), isTsxFooter);
}

bool TIdFTPLPTSXPlus::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    return parseEntries(listing, dir, [](const std::string& line) { return !isTsxFooter(line); });
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
