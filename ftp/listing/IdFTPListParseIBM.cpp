// IBM systems: MVS data sets, MVS partitioned data set members, AS/400 objects.

#include <algorithm>

#include "ftp/listing/IdFTPListParsers.h"

using namespace harbrook::listing;

// Real MVS servers leave "Date" out of the header the table names ("Volume Unit
// Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname"), so these columns decide.
bool TIdFTPLPMVS::IsHeader(const std::string& line) const {
    return hasAllWords(line, {"Volume", "Unit", "Referred", "Dsorg", "Dsname"});
}

// "SYSPP1 3390   2000/01/20  1    3  FB      80  3120  PO  BSCSYS.ISPTABL"
// "Migrated                                                BSCSYS.ISPUSER"
bool TIdFTPLPMVS::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data);
    const std::string dsorg = w.size() >= 2 ? w[w.size() - 2] : std::string();
    // Partitioned data sets hold members, like folders.
    item.ItemType = dsorg == "PO" || dsorg == "PO-E" ? ditDirectory : ditFile;
    item.SizeAvail = false;
    item.ModifiedAvail = false;
    item.SetFileName(w.empty() ? std::string() : w.back());
    return true;
}

bool TIdFTPLPMVSPartitionedDataSet::IsHeader(const std::string& line) const {
    return hasAllWords(line, {"Name", "Size"});
}

bool TIdFTPLPMVSPartitionedDataSet::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    // A load library's Size column is a byte count in hexadecimal; ISPF statistics
    // count records, which are no size.
    const bool loadLibrary = std::any_of(listing.begin(), listing.end(), [&](const std::string& line) {
        return IsHeader(line) && hasAllWords(line, {"TTR"});
    });
    TIdFTPListBaseHeaderFooter::ParseListing(listing, dir);
    for (const auto& item : dir) {
        const std::vector<std::string> w = words(item->Data, 2);
        if (loadLibrary && w.size() > 1) {
            std::size_t used = 0;
            try {
                item->Size = static_cast<std::int64_t>(std::stoull(w[1], &used, 16));
                item->SizeAvail = used == w[1].size();
            } catch (const std::exception&) {
                item->SizeAvail = false;
            }
        } else {
            item->SizeAvail = false;
        }
    }
    return true;
}

bool TIdFTPLPMVSPartitionedDataSet::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 1);
    item.ModifiedAvail = false;
    item.SetFileName(w.empty() ? std::string() : w[0]);
    return true;
}

bool TIdFTPLPAS400::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    for (const std::string& line : listing) {
        if (line.empty()) {
            continue;
        }
        const std::vector<std::string> w = words(line, 6);
        return w.size() > 4 && (w[4].front() == '*' || w[4] == "DIR");
    }
    return false;
}

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

// "PEP             36864 04/03/24 14:06:34 *DIR       dir1/"
bool TIdFTPLPAS400::ParseLine(TIdFTPListItem& item, const std::string&) const {
    std::string text = item.Data;
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
