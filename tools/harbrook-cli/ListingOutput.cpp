#include "tools/harbrook-cli/ListingOutput.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

#include "ftp/client/IdFTPCommandText.h"
#include "ftp/listing/IdFTPListParseBase.h"

namespace harbrook::cli {

std::string itemTypeName(TIdDirItemType type) {
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

namespace {

// "2007-12-31 23:59:00"; written by hand, as it runs once per entry of a listing.
void appendDateTime(std::string& out, const DateTimeParts& parts) {
    auto digits = [&](int value, int width) {
        char text[8];
        for (int i = width - 1; i >= 0; --i) {
            text[i] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
        out.append(text, static_cast<std::size_t>(width));
    };
    if (parts.year < 0 || parts.year > 9999) {
        out += "-";
        return;
    }
    digits(parts.year, 4);
    out += '-';
    digits(parts.month, 2);
    out += '-';
    digits(parts.day, 2);
    out += ' ';
    digits(parts.hour, 2);
    out += ':';
    digits(parts.minute, 2);
    out += ':';
    digits(parts.second, 2);
}

}  // namespace

std::string entryLine(const TIdFTPListItem& item) {
    std::string line = itemTypeName(item.ItemType);
    line += '\t';
    line += item.SizeAvail ? std::to_string(item.Size) : "-";
    line += '\t';
    if (item.ModifiedAvail && item.ModifiedDate != 0) {
        appendDateTime(line, decodeDateTime(item.ModifiedDate));
    } else {
        line += '-';
    }
    line += '\t';
    line += item.FileName();
    return line;
}

void TEntryPrinter::add(std::string line) {
    m_block += m_shown != nullptr ? m_shown(std::move(line)) : line;
    m_block += '\n';
}

void TEntryPrinter::start(const std::string& layout) {
    if (!m_started) {
        m_started = true;
        add("layout: " + layout);
    }
}

void TEntryPrinter::Add(const std::string& layout, const TIdFTPListItems& items) {
    // Written in blocks: a folder of a million entries must not be held a second time
    // as one text, nor written a line at a time.
    start(layout);
    for (const auto& item : items) {
        add(entryLine(*item));
        if (m_block.size() >= 64 * 1024) {
            if (m_holding) {
                // Kept as the blocks they are: one text grown by doubling would copy
                // a large listing's output over and over.
                m_held.push_back(std::move(m_block));
                m_block = {};
                m_block.reserve(65 * 1024);
            } else {
                m_out.write(m_block.data(), static_cast<std::streamsize>(m_block.size()));
                m_block.clear();
            }
        }
    }
}

void TEntryPrinter::Discard() {
    m_block.clear();
    m_held.clear();
    m_started = false;
    m_holding = false;
}

void TEntryPrinter::Finish(const std::string& layout) {
    start(layout);
    for (const std::string& held : m_held) {
        m_out.write(held.data(), static_cast<std::streamsize>(held.size()));
    }
    m_held.clear();
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
