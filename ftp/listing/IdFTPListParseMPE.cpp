// HP MPE/iX, with and without POSIX names.

#include <algorithm>
#include <cctype>

#include "ftp/listing/IdFTPListParsers.h"
#include "platform/DateTime.h"

using namespace harbrook::listing;

namespace {

bool isAccountGroupLine(std::string_view line) {
    const std::string u = upper(line);
    return (u.find("ACCOUNT=") != std::string::npos || u.find("ACCOUNT =") != std::string::npos) &&
           (u.find("GROUP=") != std::string::npos || u.find("GROUP =") != std::string::npos);
}

}  // namespace

// ---- MPE/iX:  Without POSIX Names ----

// Only "ACCOUNT= ... GROUP= ..." opens this listing: the column rulers below it are the
// same as the POSIX-names form's, which is told by its "PATH=" line instead.
bool TIdFTPLPMPiX::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    for (std::string_view line : listing) {
        if (!isBlank(line) && !isRule(line)) {
            return isAccountGroupLine(line);
        }
    }
    return false;
}

// "ACCOUNT=  SYS         GROUP=  PUB", then the FILENAME/CODE and SIZE/TYP/EOF rulers.
bool TIdFTPLPMPiX::IsHeader(std::string_view line) const {
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

// ---- MPE/iX:  With POSIX Names ----

// "PATH=" opens the listing; the column headers hide LOGICAL inside a ruler
// ("------------LOGICAL RECORD-----------"), so their other words decide.
bool TIdFTPLPMPiXWithPOSIX::IsHeader(std::string_view line) const {
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
