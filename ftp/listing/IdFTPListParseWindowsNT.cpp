// DOS-style listings as IIS and other Windows servers send them:
//   12-31-07  11:59PM       <DIR>          My Folder
//   01-02-08  09:05AM                 1,234 report.txt

#include <algorithm>
#include <optional>

#include "ftp/listing/IdFTPListParsers.h"

using namespace harbrook::listing;

namespace {

// Characters `count` from the 1-based `position` on (shorter near the end).
std::string_view columns(std::string_view line, std::size_t position, std::size_t count) {
    return position - 1 < line.size() ? line.substr(position - 1, count) : std::string_view();
}

std::string withoutCommas(std::string_view word) {
    std::string text(word);
    text.erase(std::remove(text.begin(), text.end(), ','), text.end());
    return text;
}

// A number, thousands separators allowed (and left out), as the size columns show it.
bool isNumberWithCommas(std::string_view word) {
    bool digit = false;
    for (char c : word) {
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c != ',') {
            return false;
        }
    }
    return digit;
}

// "12-31-07", "12/31/2007" in the first eight characters: two equal separators and
// plausible month and day.
bool firstEightAreDate(std::string_view line) {
    const std::string_view head = line.substr(0, std::min<std::size_t>(8, line.size()));
    for (char separator : {'-', '/'}) {
        if (std::count(head.begin(), head.end(), separator) != 2) {
            continue;
        }
        const std::size_t first = head.find(separator);
        const std::size_t second = head.find(separator, first + 1);
        const std::string_view month = head.substr(0, first);
        const std::string_view day = head.substr(first + 1, second - first - 1);
        const std::string_view year = head.substr(second + 1);
        if (!isNumber(month) || !isNumber(day) || !isNumber(year)) {
            continue;
        }
        const int monthNumber = toInt(month);
        const int dayNumber = toInt(day);
        if (monthNumber >= 1 && monthNumber <= 12 && dayNumber >= 1 && dayNumber <= 32) {
            return true;
        }
    }
    return false;
}

// yyyy-mm-dd, yyyy/mm/dd or nn-nn-nn at the start of the line.
bool startsWithNumericDate(std::string_view line) {
    auto separator = [&](std::size_t index) {
        return index < line.size() && (line[index] == '-' || line[index] == '/');
    };
    auto digits = [&](std::size_t from, std::size_t count) {
        return from + count <= line.size() && isNumber(line.substr(from, count));
    };
    return (digits(0, 4) && separator(4) && digits(5, 2) && separator(7) && digits(8, 2)) ||
           (digits(0, 2) && separator(2) && digits(3, 2) && separator(5) && digits(6, 2));
}

bool hasDate(std::string_view line) {
    // Both start with a digit: other lines (every line of a long listing of another
    // layout, as detection reads them all) are passed at once.
    if (line.empty() || line[0] < '0' || line[0] > '9') {
        return false;
    }
    return firstEightAreDate(line) || startsWithNumericDate(line);
}

// "11:59PM", "23:59", "9:05a"
bool looksLikeTime(std::string_view text) {
    auto isMark = [](char c) { return c == 'M' || c == 'A' || c == 'P' || c == 'm' || c == 'a' || c == 'p'; };
    while (!text.empty() && isMark(text.back())) {
        text.remove_suffix(1);
    }
    const std::size_t colon = text.find(':');
    return colon != std::string_view::npos && colon > 0 && isNumber(text.substr(0, colon)) &&
           isNumber(text.substr(colon + 1, 2));
}

// Whether one line reads as Windows NT; nullopt when the line says nothing either way.
// Runs on every line of every listing whose layout is asked for, so it reads the line
// in place.
std::optional<bool> lineVerdict(std::string_view u) {
    if (!hasDate(u)) {
        return std::nullopt;
    }
    std::string_view marker = columns(u, 25, 5);
    if (equalsIgnoringCase(marker, "  <DI")) {
        marker = columns(u, 27, 5);
    }
    marker = withoutLeadingSpaces(marker);
    if (isNumber(marker)) {
        marker = {};
    }
    const std::string_view sizeText = withoutLeadingSpaces(columns(u, 20, 19));
    const WordViews w = wordViews(u, 5);
    const bool fixedColumns =
        equalsIgnoringCase(marker, "<DIR>") || (marker.empty() && isNumberWithCommas(sizeText));
    // Servers that do not keep IIS's fixed columns ("02-05-2013 09:45AM <DIR> TEST")
    // still give date, time and then <DIR> or the size as words. A line laid out in
    // IIS's columns (two blanks after an eight-character date) is held to them.
    const bool iisColumns = u.size() > 10 && u[8] == ' ' && u[9] == ' ';
    const bool wordColumns = !iisColumns && w.size() >= 4 && looksLikeTime(w[1]) &&
                             (equalsIgnoringCase(w[2], "<DIR>") || isNumberWithCommas(w[2]));
    if (!fixedColumns && !wordColumns) {
        return std::nullopt;
    }
    // Another layout with a file-or-directory column.
    return !(w.size() > 4 && (equalsIgnoringCase(w[2], "F") || equalsIgnoringCase(w[2], "D")) && w[4] != "-");
}

bool isHeaderLine(std::string_view line) {
    return !line.empty() && line.back() == ':' && !isUnixPermissions(line);
}

// "12-31-07" (month, day, year) with any non-digit separator.
bool readDate(std::string_view text, harbrook::TDateTime& value, const harbrook::ListingClock& clock) {
    const auto separatorAt = std::find_if(text.begin(), text.end(), [](char c) { return c < '0' || c > '9'; });
    if (separatorAt == text.end()) {
        return false;
    }
    const char separator = *separatorAt;
    std::string_view parts[3];
    std::size_t count = 0;
    std::size_t start = 0;
    for (std::size_t at = text.find(separator);; at = text.find(separator, start)) {
        if (count < 3) {
            parts[count] = text.substr(start, at == std::string_view::npos ? at : at - start);
        }
        ++count;
        if (at == std::string_view::npos) {
            break;
        }
        start = at + 1;
    }
    if (count < 3 || !isNumber(parts[0]) || !isNumber(parts[1]) || !isNumber(parts[2])) {
        return false;
    }
    return harbrook::tryEncodeDate(fullYear(toInt(parts[2]), clock), toInt(parts[0]), toInt(parts[1]), value);
}

// "11:59PM", "00:08", "23:59:59"
bool readTime(std::string_view word, harbrook::TDateTime& value) {
    // A time word is short: the copy stays inside the string, no allocation.
    std::string text = upper(std::string(word));
    bool pm = false;
    bool am = false;
    for (const char* marker : {"PM", "AM", "P", "A"}) {
        const std::size_t at = text.find(marker);
        if (at != std::string::npos) {
            pm = pm || marker[0] == 'P';
            am = am || marker[0] == 'A';
            text.erase(at, std::char_traits<char>::length(marker));
        }
    }
    const auto separatorAt = std::find_if(text.begin(), text.end(), [](char c) { return c < '0' || c > '9'; });
    int parts[4] = {0, 0, 0, 0};
    if (separatorAt == text.end()) {
        parts[0] = toInt(text, -1);
    } else {
        const char separator = *separatorAt;
        std::size_t start = 0;
        for (int index = 0; index < 4; ++index) {
            const std::size_t at = text.find(separator, start);
            const std::string_view part =
                std::string_view(text).substr(start, at == std::string::npos ? at : at - start);
            parts[index] = part.empty() ? 0 : toInt(part, -1);
            if (at == std::string_view::npos) {
                break;
            }
            start = at + 1;
        }
    }
    if (pm && parts[0] < 12) {
        parts[0] += 12;
    }
    if (am && parts[0] == 12) {
        parts[0] = 0;
    }
    return harbrook::tryEncodeTime(parts[0], parts[1], parts[2], parts[3], value);
}

}  // namespace

bool TIdFTPLPWindowsNT::CheckListing(const TIdListingLines& listing, const std::string&,
                                     bool) const {
    bool verdict = false;
    for (std::string_view line : listing) {
        if (line.empty() || isHeaderLine(line)) {
            continue;
        }
        if (const auto says = lineVerdict(line)) {
            verdict = *says;
        }
    }
    return verdict;
}

bool TIdFTPLPWindowsNT::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    std::string path;
    for (std::string_view line : listing) {
        if (line.empty()) {
            continue;
        }
        if (isHeaderLine(line)) {
            path = line.substr(0, line.size() - 1);
            continue;
        }
        TIdFTPListItem& item = addItem(dir, line);
        ParseLine(item, path);
        dir.Settled();
    }
    return true;
}

bool TIdFTPLPWindowsNT::ParseLine(TIdFTPListItem& item, const std::string& path) const {
    const harbrook::ListingClock clock = harbrook::listingClock();
    std::string_view text = item.Data;
    std::string dateText;
    std::string_view timeText;
    if (text.size() >= 5 && isNumber(text.substr(0, 4)) && !(text[4] >= '0' && text[4] <= '9')) {
        // "2008-01-31": rebuilt as month-day-year for the one date reader.
        dateText.append(columns(text, 6, 2)).append("/").append(columns(text, 9, 2)).append("/");
        dateText.append(text.substr(0, 4));
        text = withoutLeadingSpaces(text.size() > 10 ? text.substr(10) : std::string_view());
        timeText = fetchWord(text);
    } else {
        dateText = fetchWord(text);
        timeText = fetchWord(text);
    }
    harbrook::TDateTime date = 0;
    harbrook::TDateTime time = 0;
    item.ModifiedDate = readDate(dateText, date, clock) && readTime(timeText, time) ? date + time : 0;
    item.ModifiedAvail = item.ModifiedDate != 0;

    text = withoutLeadingSpaces(text);
    const std::string_view sizeWord = fetchWord(text);
    // After the size (or <DIR>) comes one space, then the name.
    std::string_view name = text.empty() ? std::string_view() : text.substr(1);
    if (equalsIgnoringCase(sizeWord, "<DIR>")) {
        item.ItemType = ditDirectory;
        item.SizeAvail = false;
        // IIS pads "<DIR>" to a fixed name column (ten characters on); other servers
        // leave one space. Up to nine more blanks are padding, the rest is the name.
        std::size_t padding = 0;
        while (padding < 9 && padding < name.size() && name[padding] == ' ') {
            ++padding;
        }
        name.remove_prefix(padding);
    } else {
        item.ItemType = ditFile;
        item.Size = toInt64(withoutCommas(sizeWord));
    }
    if (path.empty()) {
        item.SetFileName(name);
        return true;
    }
    item.SetLocalFileName(name);
    std::string full = path;
    full.append("\\").append(name);
    if (full.rfind(".\\", 0) == 0) {
        full.erase(0, 2);
    }
    item.SetFileName(std::move(full));
    return true;
}
