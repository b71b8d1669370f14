// Layouts whose listings open with a column header: VxWorks, Tandem NonStop Guardian,
// MicroWare OS-9 and the second JES queue form; and the first JES queue form.

#include <algorithm>

#include "ftp/listing/IdFTPListParsers.h"

using namespace harbrook::listing;

namespace harbrook::listing {

bool hasAllWords(const std::string& line, std::initializer_list<const char*> wanted) {
    const std::vector<std::string> present = words(upper(line), 64);
    return std::all_of(wanted.begin(), wanted.end(), [&](const char* word) {
        return std::find(present.begin(), present.end(), upper(word)) != present.end();
    });
}

}  // namespace harbrook::listing

namespace {

// A JES job id: "JOB01906", "STC00033", "TSU00001" or "T0886971".
bool isJobId(const std::string& word) {
    return (word.size() == 8 && std::isalpha(static_cast<unsigned char>(word[0])) != 0 &&
            std::isalpha(static_cast<unsigned char>(word[1])) != 0 &&
            std::isalpha(static_cast<unsigned char>(word[2])) != 0 && isNumber(word.substr(3))) ||
           (word.size() == 8 && (word[0] == 'T' || word[0] == 'J' || word[0] == 'S') && isNumber(word.substr(1)));
}

void noSizeNoDate(TIdFTPListItem& item) {
    item.SizeAvail = false;
    item.ModifiedAvail = false;
}

}  // namespace

bool TIdFTPLPVxWorks::IsHeader(const std::string& line) const {
    return hasAllWords(line, {"size", "date", "time", "name"});
}

// "   40774    Aug-19-1994  12:00:00   IO.SYS" / "     512    May-05-2003  14:20:44   BOOT   <DIR>"
bool TIdFTPLPVxWorks::ParseLine(TIdFTPListItem& item, const std::string&) const {
    std::string text = item.Data;
    item.Size = toInt64(fetchWord(text));
    std::string date = fetchWord(text);
    const std::string time = fetchWord(text);
    std::string name = trimLeft(text);
    while (!name.empty() && name.back() == ' ') {
        name.pop_back();
    }
    if (name.size() >= 5 && name.compare(name.size() - 5, 5, "<DIR>") == 0) {
        item.ItemType = ditDirectory;
        name.erase(name.size() - 5);
        while (!name.empty() && name.back() == ' ') {
            name.pop_back();
        }
    }
    std::replace(date.begin(), date.end(), '-', ' ');
    const std::vector<std::string> parts = words(date);
    harbrook::TDateTime day = 0;
    harbrook::TDateTime clockTime = 0;
    item.ModifiedAvail = parts.size() == 3 && time.size() == 8 &&
                         harbrook::tryEncodeDate(toInt(parts[2]), monthNumber(parts[0]), toInt(parts[1]), day) &&
                         harbrook::tryEncodeTime(toInt(time.substr(0, 2), -1), toInt(time.substr(3, 2), -1),
                                                 toInt(time.substr(6, 2), -1), 0, clockTime);
    item.ModifiedDate = item.ModifiedAvail ? day + clockTime : 0;
    item.SetFileName(name);
    return true;
}

bool TIdFTPLPTandemGuardian::IsHeader(const std::string& line) const {
    return hasAllWords(line, {"File", "Code", "EOF", "Last", "Modification", "Owner", "RWEP"});
}

// "EMSACSTM      101             146  18-Sep-00 09:03:37 170,175 "nunu""
// "TACLCSTM   O  101             101  4-Mar-01  23:50:06 255,255 "oooo""  (O: open)
bool TIdFTPLPTandemGuardian::ParseLine(TIdFTPListItem& item, const std::string&) const {
    std::string text = item.Data;
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

bool TIdFTPLPMicrowareOS9::IsHeader(const std::string& line) const {
    const std::string trimmed = trimLeft(line);
    return startsWithIgnoringCase(trimmed, "Directory of ") ||
           hasAllWords(line, {"Owner", "Last", "modified", "Attributes", "Sector", "Bytecount", "Name"});
}

// "  0.0     1988/06/02 2133   d-ewrewr       B       864 CMDS"
bool TIdFTPLPMicrowareOS9::ParseLine(TIdFTPListItem& item, const std::string&) const {
    std::string text = item.Data;
    fetchWord(text);  // owner
    std::string date = fetchWord(text);
    const std::string time = fetchWord(text);
    const std::string attributes = fetchWord(text);
    fetchWord(text);  // sector
    item.Size = toInt64(fetchWord(text));
    item.ItemType = !attributes.empty() && attributes[0] == 'd' ? ditDirectory : ditFile;
    std::replace(date.begin(), date.end(), '/', ' ');
    const std::vector<std::string> parts = words(date);
    harbrook::TDateTime day = 0;
    harbrook::TDateTime clockTime = 0;
    item.ModifiedAvail = parts.size() == 3 && time.size() == 4 &&
                         harbrook::tryEncodeDate(toInt(parts[0]), toInt(parts[1]), toInt(parts[2]), day) &&
                         harbrook::tryEncodeTime(toInt(time.substr(0, 2), -1), toInt(time.substr(2, 2), -1), 0,
                                                 0, clockTime);
    item.ModifiedDate = item.ModifiedAvail ? day + clockTime : 0;
    item.SetFileName(trimLeft(text));
    return true;
}

bool TIdFTPLPMVSJESInterface1::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    for (const std::string& line : listing) {
        if (line.empty()) {
            continue;
        }
        const std::vector<std::string> w = words(line, 4);
        return w.size() >= 3 && isJobId(w[1]) &&
               (w[2] == "OUTPUT" || w[2] == "ACTIVE" || w[2] == "INPUT" || w[2] == "HELD");
    }
    return false;
}

bool TIdFTPLPMVSJESInterface1::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 2);
    noSizeNoDate(item);
    // RETR and DELE take the job id in JES mode.
    item.SetFileName(w.size() > 1 ? w[1] : std::string());
    return true;
}

bool TIdFTPLPMVSJESInterface2::IsHeader(const std::string& line) const {
    return line == "JOBNAME  JOBID    OWNER    STATUS CLASS";
}

bool TIdFTPLPMVSJESInterface2::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 2);
    noSizeNoDate(item);
    item.SetFileName(w.size() > 1 ? w[1] : std::string());
    return true;
}
