#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "ftp/listing/IdFTPList.h"

namespace harbrook::cli {

// "dir", "file", "link", "linkdir", "block", "char", "fifo", "socket"
std::string itemTypeName(TIdDirItemType type);
// TYPE TAB SIZE TAB MODIFIED TAB NAME, with "-" for an unknown size or date.
std::string entryLine(const TIdFTPListItem& item);
// "layout: ID", then a line per entry, written in blocks. `shown`, when given, turns
// each line into what may be written (harbrook-cli's terminal-safe form).
void printEntries(std::ostream& out, const std::string& layout, const TIdFTPListItems& items,
                  std::string (*shown)(std::string) = nullptr);

// harbrook-cli parse-listing [--syst TEXT] [--nlst | --mlsd] [FILE]: parses a raw listing
// from the file or standard input as a session would. Returns the exit code.
int runParseListing(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                    std::ostream& err);

}  // namespace harbrook::cli
