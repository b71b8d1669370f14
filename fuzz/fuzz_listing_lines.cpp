// A listing received in blocks must read as the same lines as its whole text, wherever
// the blocks were cut; every line lies inside the listing. Read as it arrives, in the
// same pieces and blocks of a few bytes, only whole lines of the text join it, and the
// whole is the same.

#include <algorithm>
#include <cstdlib>

#include "ftp/listing/IdFTPList.h"
#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::string text = harbrook::fuzz::textOf(data + 2, size - 2);
    const TIdListingLines whole = TIdListingLines::FromText(text);
    // The first two bytes place two cuts.
    const std::size_t first = text.empty() ? 0 : data[0] % (text.size() + 1);
    const std::size_t second = first + (text.size() - first == 0 ? 0 : data[1] % (text.size() - first + 1));
    const TIdListingLines blocks = TIdListingLines::FromBlocks(
        {text.substr(0, first), text.substr(first, second - first), text.substr(second)});
    if (!(blocks == whole)) {
        std::abort();
    }
    for (const std::string_view line : blocks) {
        if (!line.empty() && !blocks.Contains(line)) {
            std::abort();
        }
    }
    const TIdListingLines copy = blocks;
    if (!(copy == whole)) {
        std::abort();
    }
    TIdArrivingListing arriving(1 + data[0] % 7);
    for (const std::string& piece : {text.substr(0, first), text.substr(first, second - first), text.substr(second)}) {
        arriving.Add(piece.data(), piece.size());
        const TIdListingLines& so = arriving.Lines();
        if (so.size() > whole.size() || !std::equal(so.begin(), so.end(), whole.begin())) {
            std::abort();
        }
    }
    if (!(arriving.Finish() == whole)) {
        std::abort();
    }
    return 0;
}
