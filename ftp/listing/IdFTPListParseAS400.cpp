// IBM AS/400 (OS/400) objects:
//   PEP             36864 04/03/24 14:06:34 *DIR       dir1/
//   QSYS                                    *MEM       AS400.FILE/AS400.MBR

#include <algorithm>
#include <cctype>

#include "ftp/listing/IdFTPListParsers.h"
#include "platform/DateTime.h"

using namespace harbrook::listing;

namespace {

// "04/03/18" (mm/dd/yy, or dd/mm/yy when the first part is no month) or "18.09.06" (dd.mm.yy).
bool readAs400Date(const std::string& text, harbrook::TDateTime& value) {
    if (text.size() != 8 || (text[2] != '/' && text[2] != '.') || text[5] != text[2]) {
        return false;
    }
    int first = toInt(text.substr(0, 2), -1);
    int second = toInt(text.substr(3, 2), -1);
    const int year = fullYear(toInt(text.substr(6, 2), -1), harbrook::listingClock());
    if (text[2] == '.' || first > 12) {
        std::swap(first, second);
    }
    return harbrook::tryEncodeDate(year, first, second, value);
}

}  // namespace

// ---- AS400 ----

bool TIdFTPLPAS400::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    for (std::string_view line : listing) {
        if (line.empty()) {
            continue;
        }
        const std::vector<std::string> w = words(line, 6);
        return w.size() > 4 && (w[4].front() == '*' || w[4] == "DIR");
    }
    return false;
}

// "PEP             36864 04/03/24 14:06:34 *DIR       dir1/"
bool TIdFTPLPAS400::ParseLine(TIdFTPListItem& item, const std::string&) const {
    std::string text(item.Data);
    std::string first = fetchWord(text);
    std::string type;
    if (!first.empty() && first.front() == '*') {
        // "*MEM" lines carry only the type and the name.
        type = first;
        item.SizeAvail = false;
        item.ModifiedAvail = false;
    } else if (std::string rest = text; !fetchWord(rest).empty() && trimLeft(text).front() == '*') {
        // A member row under its file leaves size, date and time blank:
        // "QPGMR                                   *MEM       AS400.FILE/AS400.MBR"
        type = fetchWord(text);
        item.SizeAvail = false;
        item.ModifiedAvail = false;
    } else {
        item.Size = toInt64(fetchWord(text));
        const std::string date = fetchWord(text);
        const std::string time = fetchWord(text);
        type = fetchWord(text);
        harbrook::TDateTime day = 0;
        harbrook::TDateTime clockTime = 0;
        item.ModifiedAvail = readAs400Date(date, day) && time.size() == 8 &&
                             harbrook::tryEncodeTime(toInt(time.substr(0, 2), -1), toInt(time.substr(3, 2), -1),
                                                     toInt(time.substr(6, 2), -1), 0, clockTime);
        item.ModifiedDate = item.ModifiedAvail ? day + clockTime : 0;
        if (type == "*MEM") {
            item.SizeAvail = false;
        }
    }
    std::string name = trimLeft(text);
    const bool folderType = type == "*DIR" || type == "*LIB" || type == "*FLR" || type == "DIR";
    if (!name.empty() && name.back() == '/') {
        name.pop_back();
        item.ItemType = ditDirectory;
    }
    if (folderType) {
        item.ItemType = ditDirectory;
    }
    item.SetFileName(name);
    return true;
}
