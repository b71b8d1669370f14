// ls -l listings: Unix and the many servers that imitate it, and Unitree's variant.
//   drwxr-xr-x   2 user group 4096 Dec 31 23:59 docs
//   12345 8 -rw-r--r-- 1 u g 10 Jan  1 2000 a             (inode and block columns)
//   -rw-r--r-- 1 5 Jan 1 2000 a                            (no owner and group)

#include <algorithm>

#include "ftp/listing/IdFTPListParsers.h"

namespace harbrook::listing {

bool isUnixLine(std::string_view line) {
    const WordViews w = wordViews(line, 10);
    if (isUnixPermissions(line)) {
        const char first = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
        if (first != 'C' && first != 'B' && w.size() > 9) {
            if (equalsIgnoringCase(w[9], "AM") || equalsIgnoringCase(w[9], "PM")) {
                return false;
            }
            if (w[8].find(':') == std::string_view::npos && monthNumber(w[6].substr(0, 3)) != 0) {
                return false;
            }
        }
        return true;
    }
    return w.size() > 3 && isNumber(w[0]) &&
           (isUnixPermissions(w[1]) || (isNumber(w[1]) && isUnixPermissions(w[2])));
}

bool isUnitreeBanner(std::string_view line) {
    return !line.empty() && line.front() == '/' && line.size() >= 2 &&
           line.compare(line.size() - 2, 2, ").") == 0 && line.find('(') != std::string::npos;
}

bool isUnitreeLine(std::string_view line) {
    const std::vector<std::string> w = words(upper(line), 5);
    return (w.size() > 4 && (w[4] == "AR" || w[4] == "DK")) || isUnitreeBanner(line);
}

bool isTotalLine(std::string_view line) {
    if (line.empty() || line.back() == ':') {
        return false;
    }
    if (startsWithIgnoringCase(line, "TOTAL")) {
        return true;
    }
    // ls in other languages names the total in its own words ("Gesamt 4352").
    if (isUnixPermissions(line)) {
        return false;
    }
    const WordViews w = wordViews(line, 3);
    return w.size() == 2 && isNumber(w[1]) && !isUnixPermissions(w[0]) &&
           std::all_of(w[0].begin(), w[0].end(), [](unsigned char c) { return std::isalpha(c) != 0; });
}

bool isDirectoryHeader(std::string_view line) {
    return !line.empty() && line.back() == ':' && !isUnixPermissions(line);
}

}  // namespace harbrook::listing

using namespace harbrook::listing;

namespace {

// Whether, from the owner's column on, the columns are a month, a day and a year or time
// (so that what looked like the owner is the size, and there is no group).
bool dateAfterOwner(std::string_view rest) {
    fetchWord(rest);
    if (monthNumber(fetchWord(rest)) == 0 || !isNumber(fetchWord(rest))) {
        return false;
    }
    const std::string_view yearOrTime = fetchWord(rest);
    return isNumber(yearOrTime) || yearOrTime.find(':') != std::string_view::npos;
}

// Whether the line lacks the owner and group columns: after any inode and block
// numbers, the fourth word is a month, the fifth a day and the sixth a year or time.
bool lacksOwnerAndGroup(std::string_view line) {
    std::string_view word = fetchWord(line);
    for (int dropped = 0; dropped < 2 && isNumber(word); ++dropped) {
        word = fetchWord(line);
    }
    fetchWord(line);
    return dateAfterOwner(line);
}

std::string joined(const std::vector<std::string>& parts, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t i = from; i < to; ++i) {
        if (!text.empty()) {
            text += ' ';
        }
        text += parts[i];
    }
    return text;
}

// Drops `count` words from the front of the text.
void dropWords(std::string_view& text, std::size_t count) {
    for (std::size_t i = 0; i < count && !text.empty(); ++i) {
        fetchWord(text);
    }
}

}  // namespace

bool TIdFTPLPUnix::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    for (std::string_view line : listing) {
        if (line.empty() || isUnitreeBanner(line)) {
            continue;
        }
        if (isUnixLine(line)) {
            return isUnitreeLine(line) == IsUnitree();
        }
        if (!isTotalLine(line) && !isDirectoryHeader(line)) {
            return false;
        }
    }
    return false;
}

bool TIdFTPLPUnix::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    StartParse(dir)->Parse(listing, 0, listing.size());
    return true;
}

std::unique_ptr<TIdListingCursor> TIdFTPLPUnix::StartParse(TIdFTPListItems& dir) const {
    // All a line carries to the next is the folder of a recursive listing's last header,
    // and the date columns it read.
    return lineByLine([this, &dir, path = std::string(),
                       lastDate = harbrook::listing::unixline::RepeatedDate()](std::string_view line) mutable {
        // Nearly every line starts with its permissions, and none such is a total, an
        // error, a banner or a header: only other lines are asked.
        const bool permissionsFirst = isUnixPermissions(line);
        if (!permissionsFirst) {
            if (line.empty() || isTotalLine(line) || line.rfind("/bin/ls:", 0) == 0 || isUnitreeBanner(line)) {
                return;
            }
            if (isDirectoryHeader(line) && !isUnixLine(line)) {
                path = line.substr(0, line.size() - 1);
                return;
            }
        }
        TIdFTPListItem& item = addItem(dir, line);
        parseLine(item, path, &lastDate, permissionsFirst);
        dir.Settled();
    });
}

TIdFTPListItem& TIdFTPLPUnix::MakeNewItem(TIdFTPListItems& dir) const {
    return dir.Emplace<TIdUnixFTPListItem>();
}

TIdFTPListItem& TIdFTPLPUnitree::MakeNewItem(TIdFTPListItems& dir) const {
    return dir.Emplace<TIdUnitreeFTPListItem>();
}

namespace harbrook::listing::unixline {

When startingFrom(const ListingClock& clock) {
    When when;
    when.year = clock.now.year;
    when.month = clock.now.month;
    when.day = clock.now.day;
    when.hour = clock.now.hour;
    when.minute = clock.now.minute;
    when.second = clock.now.second;
    when.millisecond = clock.now.millisecond;
    return when;
}

void readInodeAndBlocks(std::string_view& text, TIdUnixFTPListItem& entry) {
    std::string_view look = text;
    if (!isUnixPermissions(fetchWord(look))) {
        entry.Inode = toInt64(fetchWord(text));
        look = text;
        if (!isUnixPermissions(fetchWord(look))) {
            entry.NumberBlocks = toInt64(fetchWord(text));
        }
    }
}

char readPermissions(std::string_view& text, TIdUnixFTPListItem& entry) {
    const std::string_view permissions = fetchWord(text);
    entry.SetPermissionDisplay(permissions.substr(0, 10));
    // Only ASCII letters name a type (and the locale's case rules are not asked per line).
    const char first = permissions.empty() ? '-' : permissions[0];
    return first >= 'a' && first <= 'z' ? static_cast<char>(first - 'a' + 'A') : first;
}

bool readLinksOwnerGroup(std::string_view& text, TIdUnixFTPListItem& entry, std::string_view line,
                         bool permissionsFirst) {
    const std::string_view linkWord = fetchWord(text);
    // Puts the word back, from its `skip`th character on, in front of the rest.
    const auto fromWord = [&](std::size_t skip) {
        text = std::string_view(linkWord.data() + skip, static_cast<std::size_t>(text.data() + text.size() -
                                                                                 linkWord.data()) - skip);
    };
    // Mac servers write "folder" in place of all three.
    if (equalsIgnoringCase(linkWord, "folder")) {
        return true;
    }
    const bool noLinkCount = !linkWord.empty() && !isNumber(linkWord) && linkWord[0] != '0';
    if (noLinkCount) {
        // "-r-xr-xr-x longowner longgroup123456 Feb 12 17:20 name": no link count
        // column, so the word is the owner.
        entry.LinkCount = 0;
        fromWord(0);
    } else if (linkWord.size() < 4) {
        entry.LinkCount = toInt(linkWord);
    } else if (linkWord[0] == '0') {
        // "01234owner": the owner written straight after a zero link count.
        entry.LinkCount = 0;
        fromWord(1);
    } else {
        entry.LinkCount = toInt(linkWord);
    }
    // From the permissions on, the words before the rest are the ones the whole line's
    // reading skips: the rest is read alone, and a group that is no month settles it
    // (this runs on every line).
    if (!noLinkCount && permissionsFirst && !(linkWord.size() >= 4 && linkWord[0] == '0')) {
        std::string_view rest = text;
        const std::string_view owner = fetchWord(rest);
        const std::string_view group = fetchWord(rest);
        if (monthNumber(group) == 0 || !dateAfterOwner(text)) {
            entry.SetOwnerName(owner);
            entry.SetGroupName(group);
            text = rest;
        }
        return false;
    }
    if (noLinkCount || !lacksOwnerAndGroup(line)) {
        entry.SetOwnerName(fetchWord(text));
        entry.SetGroupName(fetchWord(text));
    }
    return false;
}

namespace {

// The group column did not end where a size begins: the words after it tell where the
// size is, and what belongs to the group.
std::string sizeAfterOddGroup(std::string_view& text, TIdUnixFTPListItem& entry, std::string_view rest) {
    const std::vector<std::string> after = words(rest);
    // A copy: the group is set anew below.
    const std::string group(entry.GroupName());
    const std::size_t digitsFrom = group.find_last_not_of("0123456789") + 1;
    const bool dateFollows = after.size() > 1 && monthNumber(after[0]) != 0 && isNumber(after[1]);
    std::size_t monthAt = 0;
    while (monthAt < after.size() &&
           !(monthAt > 0 && monthNumber(after[monthAt]) != 0 && isNumber(after[monthAt - 1]))) {
        ++monthAt;
    }
    if (dateFollows && digitsFrom > 0 && digitsFrom < group.size()) {
        // "ftpadmin ftpadmin125435904 Apr  9  2008": a long size ran into the group.
        entry.SetGroupName(std::string_view(group).substr(0, digitsFrom));
        return group.substr(digitsFrom);
    }
    if (isNumber(group)) {
        // No group column: what was read as the group is the size, the owner the group.
        entry.SetGroupName(entry.OwnerName());
        entry.SetOwnerName({});
        return group;
    }
    if (monthAt < after.size()) {
        // A group name with spaces ("my group 500"): the size is the number right
        // before the month.
        entry.SetGroupName(group + " " + joined(after, 0, monthAt - 1));
        dropWords(text, monthAt);
        return after[monthAt - 1];
    }
    // The group word and the words after it up to the next number are the group; that
    // number is the size.
    entry.SetOwnerName({});
    std::size_t numberAt = 0;
    while (numberAt < after.size() && !isNumber(after[numberAt])) {
        ++numberAt;
    }
    entry.SetGroupName(numberAt > 0 ? group + " " + joined(after, 0, numberAt) : group);
    dropWords(text, numberAt + 1);
    return numberAt < after.size() ? after[numberAt] : std::string();
}

}  // namespace

void readSize(std::string_view& text, TIdUnixFTPListItem& entry, bool unitree, bool macFolder) {
    std::string_view sizeWord;
    // Holds a size taken from an odd group column.
    std::string oddSize;
    const std::string_view rest = withoutLeadingSpaces(text);
    const bool restStartsWithLetter =
        !rest.empty() && ((rest[0] >= 'A' && rest[0] <= 'Z') || (rest[0] >= 'a' && rest[0] <= 'z'));
    if (!unitree && !macFolder && restStartsWithLetter) {
        oddSize = sizeAfterOddGroup(text, entry, rest);
        sizeWord = oddSize;
    } else {
        // From the size on (its spaces are counted once).
        text = rest;
        sizeWord = fetchWord(text);
        if (sizeWord.find(',') != std::string_view::npos) {
            // A device's "major, minor": no byte size. The minor number is a word of
            // its own unless it was written straight after the comma ("109,767").
            if (sizeWord.back() == ',') {
                fetchWord(text);
            }
            sizeWord = {};
            entry.SizeAvail = false;
        } else if (unitree && (sizeWord == "AR" || sizeWord == "DK")) {
            auto& unitreeEntry = static_cast<TIdUnitreeFTPListItem&>(entry);
            unitreeEntry.Migrated = sizeWord == "AR";
            unitreeEntry.FileFamily = fetchWord(text);
            sizeWord = fetchWord(text);
        }
    }
    entry.Size = toInt64(sizeWord);
}

void readDate(std::string_view& text, When& when) {
    // "Dec 31", "2007-12-31", "12/31/2007", "31-12-2007".
    bool dayRead = false;
    const std::string_view dateWord = fetchWord(text);
    // The parts between "-" and "/" (a run of them counts as one).
    WordViews parts;
    auto isSeparator = [](char c) { return c == '-' || c == '/'; };
    for (std::size_t at = 0; at < dateWord.size() && parts.count < kMaxWordViews;) {
        while (at < dateWord.size() && isSeparator(dateWord[at])) {
            ++at;
        }
        const std::size_t start = at;
        while (at < dateWord.size() && !isSeparator(dateWord[at])) {
            ++at;
        }
        if (at > start) {
            parts.word[parts.count++] = dateWord.substr(start, at - start);
        }
    }
    std::size_t at = 0;
    if (!parts.empty() && parts[0].size() > 3) {
        when.year = toInt(parts[0], when.year);
        when.yearFromDate = true;
        ++at;
    }
    if (at < parts.size()) {
        const std::string_view part = parts[at++];
        if (isNumber(part)) {
            const int number = toInt(part);
            if (number >= 1 && number <= 12) {
                when.month = number;
                if (at < parts.size()) {
                    when.day = toInt(parts[at++], when.day);
                    dayRead = true;
                }
            } else {
                when.day = number;
                dayRead = true;
                if (at < parts.size()) {
                    const std::string_view monthPart = parts[at++];
                    when.month = isNumber(monthPart) ? toInt(monthPart) : monthNumber(monthPart);
                }
            }
        } else {
            when.month = monthNumber(part);
        }
    }
    if (at < parts.size() && !when.yearFromDate && parts[at].size() == 4 && isNumber(parts[at])) {
        when.year = toInt(parts[at]);
        when.yearFromDate = true;
    }
    if (!dayRead) {
        std::string_view look = text;
        const std::string_view dayWord = fetchWord(look);
        if (isNumber(dayWord)) {
            when.day = toInt(dayWord);
        }
        fetchWord(text);
    }
}

void readYearOrTime(std::string_view& text, When& when, const ListingClock& clock) {
    const std::size_t spacesBefore = text.find_first_not_of(' ');
    const std::string_view yearOrTime = fetchWord(text);
    if (yearOrTime.find(':') == std::string_view::npos) {
        when.year = toInt(yearOrTime, when.year);
        when.hour = 0;
        when.minute = 0;
        when.second = 0;
        when.millisecond = 999;
        // "Mar  1 2003  .welcome": the year printed left-aligned in its five columns.
        if (yearOrTime.size() == 4 && spacesBefore == 1 && text.size() > 2 && text[0] == ' ' &&
            text[1] == ' ' && text[2] != ' ') {
            text.remove_prefix(1);
        }
        return;
    }
    if (!when.yearFromDate) {
        when.year = yearForMonthDay(when.month, when.day, clock);
    }
    // "h:mm", "h:mm:ss" or "h:mm:ss:ms"; the parts past those are counted, not read.
    std::string_view parts[4];
    std::size_t count = 0;
    std::size_t start = 0;
    for (std::size_t colon = yearOrTime.find(':');; colon = yearOrTime.find(':', start)) {
        if (count < 4) {
            parts[count] = yearOrTime.substr(start, colon == std::string_view::npos ? colon : colon - start);
        }
        ++count;
        if (colon == std::string_view::npos) {
            break;
        }
        start = colon + 1;
    }
    when.hour = toInt(parts[0], -1);
    when.minute = count > 1 ? toInt(parts[1], -1) : 0;
    when.second = count > 2 ? toInt(parts[2], -1) : 0;
    when.millisecond = count > 3 ? toInt(parts[3], -1) : 999;
    if (count > 2) {
        // "Dec 31 23:59:59 2007"
        std::string_view look = text;
        const std::string_view next = fetchWord(look);
        if (isNumber(next)) {
            when.year = toInt(next);
            text = look;
        }
    }
}

TIdDirItemType itemTypeFor(char typeLetter) {
    switch (typeLetter) {
        case 'B': return ditBlockDev;
        case 'C': return ditCharDev;
        case 'D': return ditDirectory;
        case 'L': return ditSymbolicLink;
        case 'P': return ditFIFO;
        case 'S': return ditSocket;
        default: return ditFile;
    }
}

bool setModified(TIdFTPListItem& item, const When& when) {
    // An impossible date (an unknown month name, day 0) leaves the entry without a
    // modification date; one odd line must not make the folder unreadable.
    harbrook::TDateTime date = 0;
    harbrook::TDateTime time = 0;
    if (harbrook::tryEncodeDate(when.year, when.month, when.day, date) &&
        harbrook::tryEncodeTime(when.hour, when.minute, when.second, when.millisecond, time)) {
        item.ModifiedDate = date + time;
        return true;
    }
    item.ModifiedDate = 0;
    item.ModifiedAvail = false;
    return false;
}

namespace {

// Whether date columns read as `read` (with `after` left of the line) read the same in
// any line where they are followed by one space and more: nothing past them was looked
// at. Not so for a time with seconds (a year may follow it) or for columns at the
// line's end (the next line's name would be read as their year).
bool mayRepeat(std::string_view read, std::string_view after) {
    if (read.empty() || after.empty()) {
        return false;
    }
    const std::string_view last = read.substr(read.rfind(' ') + 1);
    return isNumber(last) || std::count(last.begin(), last.end(), ':') == 1;
}

}  // namespace

void readModified(std::string_view& text, TIdFTPListItem& item, const ListingClock& clock, RepeatedDate* last) {
    const When start = startingFrom(clock);
    const std::string_view from = withoutLeadingSpaces(text);
    if (last != nullptr && !last->text.empty() && last->start == start && from.size() > last->text.size() + 1 &&
        from.starts_with(last->text) && from[last->text.size()] == ' ' && from[last->text.size() + 1] != ' ') {
        text = from.substr(last->text.size());
        item.ModifiedDate = last->modified;
        if (!last->dated) {
            item.ModifiedAvail = false;
        }
        return;
    }
    When when = start;
    readDate(text, when);
    readYearOrTime(text, when, clock);
    const bool dated = setModified(item, when);
    if (last != nullptr) {
        const std::string_view read = from.substr(0, from.size() - text.size());
        if (mayRepeat(read, text)) {
            last->text.assign(read);
            last->start = start;
            last->modified = item.ModifiedDate;
            last->dated = dated;
        } else {
            last->text.clear();
        }
    }
}

void setName(TIdUnixFTPListItem& entry, std::string_view name, const std::string& path) {
    if (entry.ItemType == ditSymbolicLink) {
        const std::size_t arrow = name.find(" -> ");
        if (arrow != std::string_view::npos) {
            std::string_view target = name.substr(arrow + 4);
            name = name.substr(0, arrow);
            if (!target.empty() && target.back() == '/') {
                entry.ItemType = ditSymbolicLinkDir;
                target.remove_suffix(1);
            }
            entry.SetLinkedItemName(target);
        }
    }
    if (!name.empty() && (name.back() == '/' || name.back() == '*')) {
        name.remove_suffix(1);
    }
    if (path.empty()) {
        entry.SetFileName(name);
        return;
    }
    entry.SetLocalFileName(name);
    std::string full = path + "/";
    full += name;
    if (full.rfind("./", 0) == 0) {
        full.erase(0, 2);
    }
    if (full.rfind('/', 0) == 0) {
        full.erase(0, 1);
    }
    entry.SetFileName(full);
}

}  // namespace harbrook::listing::unixline

// The columns in order: [inode [blocks]] permissions links owner group size date
// year-or-time name.
bool TIdFTPLPUnix::ParseLine(TIdFTPListItem& item, const std::string& path) const {
    parseLine(item, path, nullptr, false);
    return true;
}

void TIdFTPLPUnix::parseLine(TIdFTPListItem& item, const std::string& path,
                             harbrook::listing::unixline::RepeatedDate* lastDate, bool startsWithPermissions) const {
    using namespace harbrook::listing::unixline;
    auto& entry = static_cast<TIdUnixFTPListItem&>(item);
    std::string_view text = item.Data;
    if (!startsWithPermissions) {
        readInodeAndBlocks(text, entry);
    }
    const bool permissionsFirst = text.data() == item.Data.data();
    const char typeLetter = readPermissions(text, entry);
    const bool macFolder = readLinksOwnerGroup(text, entry, item.Data, permissionsFirst);
    readSize(text, entry, IsUnitree(), macFolder);
    readModified(text, item, harbrook::listingClock(), lastDate);
    item.ItemType = itemTypeFor(typeLetter);
    // The name: what follows the single space after the year or time.
    setName(entry, text.empty() ? std::string_view() : text.substr(1), path);
}
