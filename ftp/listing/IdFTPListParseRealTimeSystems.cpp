// Real-time and embedded systems: Wind River VxWorks, MicroWare OS-9 and Xecom
// Micro RTOS.

#include <algorithm>
#include <cctype>

#include "ftp/listing/IdFTPListParsers.h"
#include "platform/DateTime.h"

using namespace harbrook::listing;

// ---- Wind River VxWorks ----

bool TIdFTPLPVxWorks::IsHeader(std::string_view line) const {
    return hasAllWords(line, {"size", "date", "time", "name"});
}

// "   40774    Aug-19-1994  12:00:00   IO.SYS" / "     512    May-05-2003  14:20:44   BOOT   <DIR>"
bool TIdFTPLPVxWorks::ParseLine(TIdFTPListItem& item, const std::string&) const {
    std::string text(item.Data);
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

// ---- MicroWare OS-9 ----

bool TIdFTPLPMicrowareOS9::IsHeader(std::string_view line) const {
    const std::string trimmed = trimLeft(line);
    return startsWithIgnoringCase(trimmed, "Directory of ") ||
           hasAllWords(line, {"Owner", "Last", "modified", "Attributes", "Sector", "Bytecount", "Name"});
}

// "  0.0     1988/06/02 2133   d-ewrewr       B       864 CMDS"
bool TIdFTPLPMicrowareOS9::ParseLine(TIdFTPListItem& item, const std::string&) const {
    std::string text(item.Data);
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

// ---- Xercom Micro RTOS ----

bool TIdFTPLPXecomMicroRTOS::IsHeader(std::string_view line) const {
    return hasAllWords(line, {"Start", "End", "length", "File", "name"});
}

bool TIdFTPLPXecomMicroRTOS::IsFooter(std::string_view line) const {
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
