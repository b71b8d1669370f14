// Sterling Commerce's CONNECT:Enterprise for UNIX (batches, the "$$" form and the
// mailbox root) and Connect:Express for OS/390.

#include <algorithm>
#include <cctype>

#include "ftp/listing/IdFTPListParsers.h"
#include "platform/DateTime.h"

using namespace harbrook::listing;

namespace {

bool isMailboxTotal(std::string_view line) {
    return trimLeft(line).rfind("Total number of Mailboxes = ", 0) == 0;
}

}  // namespace

// ---- CONNECT:Enterprise for UNIX ----

bool TIdFTPLPSterCommEntUx::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    for (std::string_view line : listing) {
        if (line.empty()) {
            continue;
        }
        const std::vector<std::string> w = words(line, 3);
        // "-C--E-----FTP B": ten flag places, the protocol, then a one-letter column.
        return w.size() >= 2 && w[0].size() >= 11 &&
               w[0].find_first_not_of("-ACDEFINPRSTU", 0) >= 10 && w[1].size() == 1 &&
               std::isalpha(static_cast<unsigned char>(w[1][0])) != 0;
    }
    return false;
}

bool TIdFTPLPSterCommEntUx::ParseLine(TIdFTPListItem& item, const std::string&) const {
    std::string text(item.Data);
    for (int skip = 0; skip < 4; ++skip) {
        fetchWord(text);  // flags, protocol letter, mailbox, batch number
    }
    item.Size = toInt64(fetchWord(text));
    const int month = monthNumber(fetchWord(text));
    const int day = toInt(fetchWord(text));
    const std::string yearOrTime = fetchWord(text);
    const harbrook::ListingClock clock = harbrook::listingClock();
    const std::size_t colon = yearOrTime.find(':');
    const int year = colon == std::string::npos ? toInt(yearOrTime) : yearForMonthDay(month, day, clock);
    harbrook::TDateTime date = 0;
    harbrook::TDateTime time = 0;
    item.ModifiedAvail =
        harbrook::tryEncodeDate(year, month, day, date) &&
        (colon == std::string::npos ||
         harbrook::tryEncodeTime(toInt(yearOrTime.substr(0, colon), -1), toInt(yearOrTime.substr(colon + 1), -1),
                                 0, 0, time));
    item.ModifiedDate = item.ModifiedAvail ? date + time : 0;
    item.SetFileName(text.empty() ? std::string() : text.substr(1));
    return true;
}

// ---- CONNECT:Enterprise for UNIX$$ ----

bool TIdFTPLPSterCommEntUxNS::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::vector<std::string> w = firstLineWords(listing, 4);
    return w.size() >= 3 && w[1] == ">";
}

// "QUADTEST      >  QUA1I1      18128       41 Aug 12 13:56": batch name, marker,
// mailbox, batch number, size and date.
bool TIdFTPLPSterCommEntUxNS::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 9);
    item.SetFileName(w.empty() ? std::string() : w[0]);
    setSize(item, w, 4);
    harbrook::TDateTime when = 0;
    setWhen(item, w.size() >= 8 && readMonthDate(w[5], w[6], w[7], when), when);
    return true;
}

// ---- CONNECT:Enterprise for UNIX ROOT ----

bool TIdFTPLPSterCommEntUxRoot::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    return std::any_of(listing.begin(), listing.end(), isMailboxTotal);
}

bool TIdFTPLPSterCommEntUxRoot::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    return parseEntries(listing, dir, [](std::string_view line) { return !isMailboxTotal(line); });
}

// "QUA1I1          3 batches": each mailbox is a folder.
bool TIdFTPLPSterCommEntUxRoot::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 1);
    item.ItemType = ditDirectory;
    item.SizeAvail = false;
    item.ModifiedAvail = false;
    item.SetFileName(w.empty() ? std::string() : w[0]);
    return true;
}

// ---- Connect:Express for OS/390 ----

bool TIdFTPLPSterCommExpOS390::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    const std::vector<std::string> w = firstLineWords(listing, 4);
    return w.size() >= 3 && w[1] == "DF" && w[2] == "012";
}

// "PAYROLL.DATA     DF 012     1,234  09/04/02 10:03": file, record format and its
// code, size, date and time.
bool TIdFTPLPSterCommExpOS390::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 7);
    item.SetFileName(w.empty() ? std::string() : w[0]);
    setSize(item, w, 3);
    harbrook::TDateTime when = 0;
    setWhen(item, w.size() >= 6 && readDateTime(w[4], w[5], "", when), when);
    return true;
}
