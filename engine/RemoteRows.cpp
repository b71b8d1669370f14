#include "engine/RemoteRows.h"

#include "platform/TextOrder.h"

#include "engine/FileSizeText.h"
#include "ftp/listing/IdFTPList.h"
#include "platform/LocalFiles.h"

std::string DirListingLine(const TIdFTPListItem& item) {
    // An entry whose listing gave no date shows none (rather than 30 December 1899).
    const std::string date =
        item.ModifiedAvail ? harbrook::FormatShortDateLongTime(item.ModifiedDate) : std::string();
    const std::string size =
        item.ItemType == ditDirectory ? std::string("-") : harbrook::FormatFileSize(item.Size);
    return std::string(item.FileName()) + "||" + size + "||" + date + "||";
}

std::string RowNameOf(const std::string& row) {
    // The separators are searched from the end, each at least two places before the
    // one after it, so "||||" (an empty date) is two separators, not three.
    if (row.size() < 6 || row.compare(row.size() - 2, 2, "||") != 0) {
        return row;
    }
    std::size_t separator = row.size() - 2;
    for (int field = 0; field < 2; ++field) {
        if (separator < 2) {
            return row;
        }
        const std::size_t before = row.rfind("||", separator - 2);
        if (before == std::string::npos) {
            return row;
        }
        separator = before;
    }
    return row.substr(0, separator);
}

std::int64_t RowSizeOf(const std::string& row) {
    const std::string name = RowNameOf(row);
    if (name.size() == row.size()) {
        return -1;
    }
    // name||size||date||
    const std::size_t start = name.size() + 2;
    const std::size_t end = row.find("||", start);
    return end == std::string::npos ? -1 : harbrook::ApproximateFileSize(row.substr(start, end - start));
}

bool RowLess(const std::string& a, const std::string& b) {
    return CompareFoldingAscii(a, b) < 0;
}
