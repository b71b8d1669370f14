// The two listing forms that need no guessing: names only (NLST) and machine listings
// (MLSD).

#include "ftp/listing/IdFTPListParsers.h"

using namespace harbrook::listing;

bool TIdFTPLPNList::CheckListing(const TIdListingLines&, const std::string&, bool detailed) const {
    return !detailed;
}

bool TIdFTPLPNList::ParseLine(TIdFTPListItem& item, const std::string&) const {
    // A name is all NLST gives: no size, no date.
    item.SizeAvail = false;
    item.ModifiedAvail = false;
    item.SetFileName(item.Data);
    return true;
}

bool TIdFTPLPMList::CheckListing(const TIdListingLines&, const std::string&, bool) const {
    return false;
}

TIdFTPListItem& TIdFTPLPMList::MakeNewItem(TIdFTPListItems& dir) const {
    return dir.Emplace<TIdMLSTFTPListItem>();
}

namespace {

// "20240131120000" or "20240131120000.123" (UTC); false when it is not a time.
bool parseMachineTime(std::string_view text, harbrook::TDateTime& value) {
    if (text.size() < 14 || !isNumber(text.substr(0, 14))) {
        return false;
    }
    int millisecond = 0;
    if (text.size() > 15 && text[14] == '.') {
        std::string fraction(text.substr(15, 3));
        while (fraction.size() < 3) {
            fraction += '0';
        }
        millisecond = toInt(fraction);
    }
    harbrook::TDateTime date = 0;
    harbrook::TDateTime time = 0;
    if (!harbrook::tryEncodeDate(toInt(text.substr(0, 4)), toInt(text.substr(4, 2)),
                                 toInt(text.substr(6, 2)), date) ||
        !harbrook::tryEncodeTime(toInt(text.substr(8, 2)), toInt(text.substr(10, 2)),
                                 toInt(text.substr(12, 2)), millisecond, time)) {
        return false;
    }
    value = date < 0 ? date - time : date + time;
    return true;
}

}  // namespace

bool TIdFTPLPMList::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    StartParse(dir)->Parse(listing, 0, listing.size());
    return true;
}

std::unique_ptr<TIdListingCursor> TIdFTPLPMList::StartParse(TIdFTPListItems& dir) const {
    return lineByLine([this, &dir](std::string_view line) {
        if (line.empty()) {
            return;
        }
        TIdFTPListItem& item = addItem(dir, line);
        if (!ParseLine(item, {})) {
            dir.Delete(dir.Count() - 1);
        }
        dir.Settled();
    });
}

bool TIdFTPLPMList::ParseLine(TIdFTPListItem& item, const std::string&) const {
    auto& entry = static_cast<TIdMLSTFTPListItem&>(item);
    const std::size_t space = item.Data.find(' ');
    const std::string_view facts = space == std::string_view::npos ? item.Data : item.Data.substr(0, space);
    entry.SetFacts(facts);
    const std::string_view name = space == std::string_view::npos ? std::string_view() : item.Data.substr(space + 1);

    std::string_view size;
    std::string_view sizd;
    bool modified = false;
    bool wellFormed = space != std::string::npos;
    std::size_t start = 0;
    while (start < facts.size()) {
        std::size_t end = facts.find(';', start);
        if (end == std::string::npos) {
            end = facts.size();
        }
        const std::string_view fact = facts.substr(start, end - start);
        start = end + 1;
        const std::size_t equals = fact.find('=');
        if (equals == std::string::npos) {
            wellFormed = false;
            continue;
        }
        const std::string key = upper(fact.substr(0, equals));
        const std::string_view value = fact.substr(equals + 1);
        if (key == "TYPE") {
            const std::string type = upper(value);
            if (type == "DIR" || type == "CDIR" || type == "PDIR") {
                item.ItemType = ditDirectory;
            } else if (type == "FILE") {
                item.ItemType = ditFile;
            }
        } else if (key == "SIZE") {
            size = value;
        } else if (key == "SIZD") {
            sizd = value;
        } else if (key == "MODIFY") {
            modified = parseMachineTime(value, item.ModifiedDateGMT);
        } else if (key == "CREATE") {
            parseMachineTime(value, entry.CreationDate);
        } else if (key == "PERM") {
            entry.SetPermissionFacts(value);
        } else if (key == "UNIQUE") {
            entry.SetUniqueID(value);
        } else if (key == "UNIX.MODE") {
            entry.SetUnixMode(value);
        }
    }
    const std::string_view sizeText = !size.empty() ? size : sizd;
    item.SizeAvail = isNumber(sizeText);
    item.Size = toInt64(sizeText);
    item.ModifiedAvail = modified;
    if (modified) {
        item.ModifiedDate = harbrook::utcToLocal(item.ModifiedDateGMT);
    }
    item.SetFileName(name);
    return wellFormed;
}
