// OpenVMS listings:
//   Directory ANONYMOUS_ROOT:[000000]
//   README.TXT;4               2  18-APR-2000 10:40:39.90
//   MAIL_ARCHIVES.DIR;1
//                              1  13-DEC-2005 08:45:27.56
//   Total of 11 files, 17 blocks.

#include "ftp/listing/IdFTPListParsers.h"

using namespace harbrook::listing;

namespace {

// "Directory USER1:[TEMP]" or a bare "EISNER$DRA3:[DECUSERVE_USER.JOHNDOE]".
bool isVmsDirectoryHeader(std::string_view line) {
    // The folder is a device and a bracketed path; other systems' "Directory of ..."
    // lines have none.
    std::string trimmed = trimSpaces(line);
    if (startsWithIgnoringCase(trimmed, "Directory ")) {
        trimmed = trimSpaces(trimmed.substr(10));
    }
    return trimmed.find(' ') == std::string::npos && trimmed.find(":[") != std::string::npos &&
           !trimmed.empty() && trimmed.back() == ']';
}

// The entry's name: the first word, ended by a blank or a tab.
std::string nameWord(std::string_view line) {
    const std::size_t end = line.find_first_of(" \t");
    return std::string(line.substr(0, end));
}

// "README.TXT;4": a name and a version number after ";" (CMU servers may put "[DIR]"
// in front).
bool isEntryName(std::string_view word) {
    const std::size_t semicolon = word.rfind(';');
    return semicolon != std::string::npos && semicolon > 0 && isNumber(word.substr(semicolon + 1));
}

bool isFooter(std::string_view line) {
    return startsWithIgnoringCase(trimLeft(line), "Total ");
}

}  // namespace

bool TIdFTPLPVMS::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    for (std::string_view line : listing) {
        if (trimSpaces(line).size() < 2) {
            continue;
        }
        // The version number after ";" marks header-less listings ("README.TXT;4").
        return isVmsDirectoryHeader(line) || isEntryName(nameWord(line));
    }
    return false;
}

bool TIdFTPLPVMS::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    for (std::string_view line : listing) {
        if (isBlank(line) || isVmsDirectoryHeader(line) || isFooter(line)) {
            continue;
        }
        // A line that does not start with a name carries the attributes of the entry
        // whose long name stood alone on the line before.
        if (line[0] == ' ' || !isEntryName(nameWord(line))) {
            continue;
        }
        TIdFTPListItem& item = addItem(dir, line);
        ParseLine(item, {});
    }
    return true;
}

bool TIdFTPLPVMS::ParseLine(TIdFTPListItem& item, const std::string&) const {
    std::string name = nameWord(item.Data);
    if (name.rfind("[DIR]", 0) == 0) {
        name.erase(0, 5);
    }
    // Sizes are blocks, not bytes.
    item.SizeAvail = false;
    item.ModifiedAvail = false;
    const std::size_t semicolon = name.rfind(';');
    const std::string bare = semicolon == std::string::npos ? name : name.substr(0, semicolon);
    if (bare.size() > 4 && equalsIgnoringCase(bare.substr(bare.size() - 4), ".DIR")) {
        item.ItemType = ditDirectory;
        name = bare.substr(0, bare.size() - 4);
    }
    item.SetFileName(name);
    return true;
}
