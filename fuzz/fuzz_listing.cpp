// A listing as a server may send it: split into lines, its layout detected among every
// layout there is, parsed, and each entry turned into the row the window shows (and that
// row read back). "Today" is fixed so that a run repeats.

#include "engine/RemoteRows.h"
#include "ftp/listing/IdFTPList.h"
#include "ftp/listing/IdFTPListParseBase.h"
#include "fuzz/FuzzInput.h"

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
    // The layout named by a machine listing, forced whatever the text is.
    TIdFTPListItems forced;
    forced.ReferTo(&lines);
    DefaultListParsers().ParseListing(lines, forced, "MLST");
    return 0;
}
