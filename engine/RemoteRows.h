#pragma once

#include <cstdint>
#include <string>

class TIdFTPListItem;

// The rows of the remote lists and of the listing cache, and their one inverse.

// name||-||date|| for a folder, name||size||date|| for anything else.
std::string DirListingLine(const TIdFTPListItem& item);

// A row of the remote lists is "name||size||date||"; the name is what stands before the
// last three fields, so a name that holds "|" or "||" itself comes back whole. A text
// that is not a row is all name.
std::string RowNameOf(const std::string& row);

// The order the remote lists show rows in: by text without regard to the case of ASCII
// letters, other bytes by value (for ASCII names the order of the window's sorted lists).
bool RowLess(const std::string& a, const std::string& b);

// The size a row shows, in bytes as near as its text tells; -1 for a folder's "-" or a
// text that is not a row.
std::int64_t RowSizeOf(const std::string& row);
