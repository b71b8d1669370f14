#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "ftp/listing/IdFTPList.h"
#include "platform/LargeMemory.h"

namespace harbrook::cli {

// "dir", "file", "link", "linkdir", "block", "char", "fifo", "socket"
std::string itemTypeName(TIdDirItemType type);
// TYPE TAB SIZE TAB MODIFIED TAB NAME, with "-" for an unknown size or date.
std::string entryLine(const TIdFTPListItem& item);
// "layout: ID", then a line per entry, written in blocks. `shown`, when given, turns
// each line into what may be written (harbrook-cli's terminal-safe form).
void printEntries(std::ostream& out, const std::string& layout, const TIdFTPListItems& items,
                  std::string (*shown)(std::string) = nullptr);

// The same for entries that come in batches (as they are parsed): the layout line before
// the first, the lines in blocks of 64 KiB.
class TEntryPrinter {
public:
    explicit TEntryPrinter(std::ostream& out, std::string (*shown)(std::string) = nullptr)
        : m_out(out), m_shown(shown) {}
    void Add(const std::string& layout, const TIdFTPListItems& items);
    // Nothing is written before Finish: for entries that may yet be taken back. Their
    // layout is only known then: held entries are added without it.
    void AddHeld(const TIdFTPListItems& items);
    // Forgets what was added (and holds no more).
    void Discard();
    // Writes what is left (the layout line alone for a listing without entries).
    void Finish(const std::string& layout);

    // The date written last and its text: the entries of a folder mostly repeat it.
    struct LastDate {
        harbrook::TDateTime date = 0;
        char text[24] = {};
        // 0 while none is kept.
        std::size_t size = 0;
    };

private:
    std::string layoutLine(const std::string& layout) const;
    void start(const std::string& layout);
    void addEntries(const TIdFTPListItems& items);

    std::ostream& m_out;
    std::string (*m_shown)(std::string);
    std::string m_block;
    harbrook::LargeText m_held;
    bool m_started = false;
    bool m_holding = false;
    LastDate m_lastDate;
};

// harbrook-cli parse-listing [--syst TEXT] [--nlst | --mlsd] [FILE]: parses a raw listing
// from the file or standard input as a session would. Returns the exit code.
int runParseListing(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                    std::ostream& err);

}  // namespace harbrook::cli
