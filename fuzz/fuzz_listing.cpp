// A listing as a server may send it: split into lines, its layout detected among every
// layout there is, parsed, and each entry turned into the row the window shows (and that
// row read back). Parsed again while it arrives in blocks: when the whole listing confirms
// the layout its first block suggested, the entries handed on are exactly the whole
// parse's. "Today" is fixed so that a run repeats.

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/RemoteRows.h"
#include "ftp/listing/IdFTPList.h"
#include "ftp/listing/IdFTPListParseBase.h"
#include "ftp/listing/IdListingParseAhead.h"
#include "fuzz/FuzzInput.h"

namespace {

std::string summary(const TIdFTPListItem& item) {
    return std::to_string(static_cast<int>(item.ItemType)) + "|" + std::to_string(item.SizeAvail ? item.Size : -1) +
           "|" + std::to_string(item.ModifiedDate) + "|" + std::string(item.FileName()) + "|" +
           std::string(item.LocalFileName());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const harbrook::ScopedListingClock clock(harbrook::ListingClock{
        harbrook::DateTimeParts{2026, 12, 10, 12, 0, 0, 0}, harbrook::kDefaultTwoDigitYearWindow});
    if (size == 0) {
        return 0;
    }
    // The first byte chooses what the server was asked and what it said of itself.
    const bool detailed = (data[0] & 1) != 0;
    const char* systems[] = {"", "UNIX Type: L8", "Windows_NT", "MVS is the operating system of this server.",
                             "VMS", "OS/400"};
    const std::string system = systems[(data[0] >> 1) % 6];
    const TIdListingLines lines = TIdListingLines::FromText(harbrook::fuzz::textOf(data + 1, size - 1));
    TIdFTPListItems items;
    items.ReferTo(&lines);
    std::string layout;
    DefaultListParsers().CheckAndParseListing(lines, items, detailed, system, layout);
    for (const auto& item : items) {
        const std::string row = DirListingLine(*item);
        (void)RowNameOf(row);
        (void)RowSizeOf(row);
        (void)item->LocalFileName();
    }
    std::vector<std::string> whole;
    for (const auto& item : items) {
        whole.push_back(summary(*item));
    }
    std::vector<std::string> handed;
    TIdListingParseAhead ahead(DefaultListParsers(), detailed, system, 1 + data[0] % 5,
                               [&](const TIdFTPListItems& some) {
                                   for (const auto& item : some) {
                                       handed.push_back(summary(*item));
                                   }
                               });
    // Blocks of 64 to 1,024 bytes: a few lines each, as a large listing's are many.
    TIdArrivingListing arriving(64 * (1 + (data[0] >> 4)));
    const std::string text = harbrook::fuzz::textOf(data + 1, size - 1);
    for (std::size_t at = 0; at < text.size(); at += 100) {
        if (arriving.Add(text.data() + at, std::min<std::size_t>(100, text.size() - at))) {
            ahead.Arrived(arriving.Lines());
        }
    }
    const TIdListingLines arrived = arriving.Finish();
    if (const std::optional<std::string> settled = ahead.Finish(arrived)) {
        if (*settled != layout || handed != whole) {
            std::abort();
        }
    }
    // The layout named by a machine listing, forced whatever the text is.
    TIdFTPListItems forced;
    forced.ReferTo(&lines);
    DefaultListParsers().ParseListing(lines, forced, "MLST");
    return 0;
}
