// EPLF: "+i8388621.29609,m824255902,/,<TAB>dev" — facts, a tab, the name.

#include <cstdlib>

#include "ftp/listing/IdFTPListParsers.h"

using namespace harbrook::listing;

bool TIdFTPLPEPLF::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    for (std::string_view line : listing) {
        if (!line.empty()) {
            return line.size() >= 3 && line[0] == '+' && line.find('\t') != std::string::npos;
        }
    }
    return false;
}

bool TIdFTPLPEPLF::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::string line(item.Data);
    const std::size_t tab = line.find('\t');
    const std::string facts = line.substr(1, tab == std::string::npos ? std::string::npos : tab - 1);
    item.SizeAvail = false;
    item.ModifiedAvail = false;
    std::size_t start = 0;
    while (start <= facts.size()) {
        std::size_t end = facts.find(',', start);
        if (end == std::string::npos) {
            end = facts.size();
        }
        const std::string fact = facts.substr(start, end - start);
        start = end + 1;
        if (fact == "/") {
            item.ItemType = ditDirectory;
        } else if (fact == "r") {
            item.ItemType = ditFile;
        } else if (fact.size() > 1 && fact[0] == 's' && isNumber(fact.substr(1))) {
            item.Size = toInt64(fact.substr(1));
            item.SizeAvail = true;
        } else if (fact.size() > 1 && fact[0] == 'm' && isNumber(fact.substr(1))) {
            // Seconds since 1970 (UTC).
            item.ModifiedDateGMT = static_cast<double>(toInt64(fact.substr(1))) / 86400.0 + 25569.0;
            item.ModifiedDate = harbrook::utcToLocal(item.ModifiedDateGMT);
            item.ModifiedAvail = true;
        }
    }
    item.SetFileName(tab == std::string::npos ? std::string() : line.substr(tab + 1));
    return true;
}
