#include "tools/harbrook-cli/ListingOutput.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

#include "ftp/client/IdFTPCommandText.h"
#include "ftp/listing/IdFTPListParseBase.h"

namespace harbrook::cli {

namespace {

std::string_view itemTypeText(TIdDirItemType type) {
    switch (type) {
        case ditDirectory: return "dir";
        case ditFile: return "file";
        case ditSymbolicLink: return "link";
        case ditSymbolicLinkDir: return "linkdir";
        case ditBlockDev: return "block";
        case ditCharDev: return "char";
        case ditFIFO: return "fifo";
        case ditSocket: return "socket";
    }
    return "file";
}

// "2007-12-31 23:59:00" at `at` (at most 19 characters); written by hand, as it runs
// once per entry of a listing. Returns the end.
char* writeDateTime(char* at, const DateTimeParts& parts) {
    if (parts.year < 0 || parts.year > 9999) {
        *at = '-';
        return at + 1;
    }
    auto digits = [&](std::size_t from, int value, int width) {
        for (int i = width - 1; i >= 0; --i) {
            at[from + static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
    };
    digits(0, parts.year, 4);
    at[4] = '-';
    digits(5, parts.month, 2);
    at[7] = '-';
    digits(8, parts.day, 2);
    at[10] = ' ';
    digits(11, parts.hour, 2);
    at[13] = ':';
    digits(14, parts.minute, 2);
    at[16] = ':';
    digits(17, parts.second, 2);
    return at + 19;
}

// The most an entry's line takes besides its name: type (7), size (20), date (19),
// three tabs and the line's end.
constexpr std::size_t kLineBesidesName = 64;

// The name as it may be written. Only the name can hold what a terminal must not get:
// `shown` is asked about it alone (the rest is ours, and plain), and only when it is not
// plain already (nearly every name of a long listing is). `kept` holds a changed name.
std::string_view writableName(std::string_view name, std::string (*shown)(std::string), std::string& kept) {
    const bool plain = std::all_of(name.begin(), name.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return c == '\t' || (c >= 0x20 && c < 0x7F);
    });
    if (plain || shown == nullptr) {
        return name;
    }
    kept = shown(std::string(name));
    return kept;
}

// The line of one entry, without its end, at `at` (room for kLineBesidesName bytes and
// the name); returns its end. Written by hand into place: it runs for every entry.
char* writeEntryLine(char* at, const TIdFTPListItem& item, std::string_view name,
                     TEntryPrinter::LastDate* lastDate) {
    const std::string_view type = itemTypeText(item.ItemType);
    at = std::copy(type.begin(), type.end(), at);
    *at++ = '\t';
    if (item.SizeAvail) {
        at = std::to_chars(at, at + 20, item.Size).ptr;
    } else {
        *at++ = '-';
    }
    *at++ = '\t';
    if (!item.ModifiedAvail || item.ModifiedDate == 0) {
        *at++ = '-';
    } else if (lastDate != nullptr && lastDate->size != 0 && lastDate->date == item.ModifiedDate) {
        at = std::copy(lastDate->text, lastDate->text + lastDate->size, at);
    } else {
        char* const from = at;
        at = writeDateTime(at, decodeDateTime(item.ModifiedDate));
        if (lastDate != nullptr) {
            lastDate->date = item.ModifiedDate;
            lastDate->size = static_cast<std::size_t>(std::copy(from, at, lastDate->text) - lastDate->text);
        }
    }
    *at++ = '\t';
    return std::copy(name.begin(), name.end(), at);
}

// The line of one entry (and its end, when asked) written into the room `roomFor(most)`
// gives for `most` bytes; returns how many it took.
template <class RoomFor>
std::size_t writeEntry(RoomFor roomFor, const TIdFTPListItem& item, std::string (*shown)(std::string),
                       TEntryPrinter::LastDate* lastDate, bool ended) {
    std::string kept;
    const std::string_view name = writableName(item.FileName(), shown, kept);
    char* const at = roomFor(kLineBesidesName + name.size());
    char* end = writeEntryLine(at, item, name, lastDate);
    if (ended) {
        *end++ = '\n';
    }
    return static_cast<std::size_t>(end - at);
}

// The line of one entry (and its end, when asked) at the end of `out`.
void appendEntryLine(std::string& out, const TIdFTPListItem& item, std::string (*shown)(std::string),
                     TEntryPrinter::LastDate* lastDate, bool ended) {
    const std::size_t from = out.size();
    const auto roomFor = [&](std::size_t most) {
        out.resize(from + most);
        return out.data() + from;
    };
    out.resize(from + writeEntry(roomFor, item, shown, lastDate, ended));
}

}  // namespace

std::string itemTypeName(TIdDirItemType type) {
    return std::string(itemTypeText(type));
}

std::string entryLine(const TIdFTPListItem& item) {
    std::string line;
    appendEntryLine(line, item, nullptr, nullptr, false);
    return line;
}

std::string TEntryPrinter::layoutLine(const std::string& layout) const {
    std::string line = "layout: " + layout;
    line = m_shown != nullptr ? m_shown(std::move(line)) : line;
    return line + '\n';
}

void TEntryPrinter::start(const std::string& layout) {
    if (!m_started) {
        m_started = true;
        m_block += layoutLine(layout);
    }
}

void TEntryPrinter::Add(const std::string& layout, const TIdFTPListItems& items) {
    start(layout);
    addEntries(items);
}

void TEntryPrinter::AddHeld(const TIdFTPListItems& items) {
    m_holding = true;
    addEntries(items);
}

void TEntryPrinter::addEntries(const TIdFTPListItems& items) {
    if (!m_holding) {
        // Written in blocks: a folder of a million entries must not be written a line
        // at a time.
        for (const auto& item : items) {
            appendEntryLine(m_block, *item, m_shown, &m_lastDate, true);
            if (m_block.size() >= 64 * 1024) {
                m_out.write(m_block.data(), static_cast<std::streamsize>(m_block.size()));
                m_block.clear();
            }
        }
        return;
    }
    if (!m_block.empty()) {
        // Whatever was added before comes first.
        m_held.Append(m_block.data(), m_block.size());
        m_block.clear();
    }
    // Written straight into the blocks that hold them: a large listing's output is
    // megabytes, and a copy of it was a good part of what printing it cost.
    const auto roomFor = [&](std::size_t most) { return m_held.Room(0, most); };
    for (const auto& item : items) {
        m_held.Keep(writeEntry(roomFor, *item, m_shown, &m_lastDate, true));
    }
}

void TEntryPrinter::Discard() {
    m_block.clear();
    m_held.Clear();
    m_started = false;
    m_holding = false;
}

void TEntryPrinter::Finish(const std::string& layout) {
    if (!m_started) {
        // Before what was held (and added without its layout).
        m_started = true;
        const std::string line = layoutLine(layout);
        m_out.write(line.data(), static_cast<std::streamsize>(line.size()));
    }
    m_held.ForEachBlock(
        [&](const char* text, std::size_t size) { m_out.write(text, static_cast<std::streamsize>(size)); });
    m_held.Clear();
    m_holding = false;
    m_out.write(m_block.data(), static_cast<std::streamsize>(m_block.size()));
    m_block.clear();
}

void printEntries(std::ostream& out, const std::string& layout, const TIdFTPListItems& items,
                  std::string (*shown)(std::string)) {
    TEntryPrinter printer(out, shown);
    printer.Add(layout, items);
    printer.Finish(layout);
}

int runParseListing(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                    std::ostream& err) {
    std::string systemDescription;
    bool nameList = false;
    bool machineList = false;
    std::string fileName;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--syst" && i + 1 < args.size()) {
            systemDescription = args[++i];
        } else if (args[i] == "--nlst") {
            nameList = true;
        } else if (args[i] == "--mlsd") {
            machineList = true;
        } else if (args[i].rfind("--", 0) == 0 || !fileName.empty()) {
            err << "harbrook-cli: parse-listing [--syst TEXT] [--nlst | --mlsd] [FILE]\n";
            return 2;
        } else {
            fileName = args[i];
        }
    }
    TIdListingLines lines;
    {
        // The listing keeps the text as read; its lines are views into it.
        std::string raw;
        if (fileName.empty()) {
            raw.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        } else {
            std::ifstream file(fileName, std::ios::binary);
            if (!file) {
                err << "Cannot open file \"" << fileName << "\".\n";
                return 1;
            }
            file.seekg(0, std::ios::end);
            const std::streamoff size = file.tellg();
            file.seekg(0, std::ios::beg);
            if (size > 0) {
                raw.resize(static_cast<std::size_t>(size));
                file.read(raw.data(), size);
                raw.resize(static_cast<std::size_t>(file.gcount()));
            }
        }
        lines = TIdListingLines::FromText(std::move(raw));
    }
    TIdFTPListItems items;
    items.ReferTo(&lines);
    std::string layout;
    if (machineList) {
        DefaultListParsers().ParseListing(lines, items, "MLST");
        layout = "MLST";
    } else {
        DefaultListParsers().CheckAndParseListing(lines, items, !nameList, systemDescription, layout);
    }
    printEntries(out, layout, items);
    return 0;
}

}  // namespace harbrook::cli
