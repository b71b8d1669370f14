// Real listings from many servers (tests/ftp/listing-samples): every case of every
// registered layout is recognised as its own layout and parses to its expected entries.
// New cases and new layouts are picked up without code changes.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "ftp/client/IdFTPCommandText.h"
#include "ftp/listing/IdFTPListParseBase.h"
#include "ftp/listing/IdFTPListParsers.h"
#include "ftp/listing/IdListingParseAhead.h"
#include "ftp/transport/IdReply.h"
#include "tests/support/TempDir.h"

#ifndef HARBROOK_LISTING_SAMPLES_DIR
#error "HARBROOK_LISTING_SAMPLES_DIR must name the listing samples"
#endif

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> fileLines(const std::string& path) {
    // Samples are stored with LF endings; the listing splitter reads them as a server's.
    return TIdListingLines::FromText(readFile(path)).ToStrings();
}

std::string typeName(TIdDirItemType type) {
    switch (type) {
        case ditDirectory: return "dir";
        case ditFile: return "file";
        case ditSymbolicLink: return "link";
        case ditSymbolicLinkDir: return "linkdir";
        default: return "other";
    }
}

struct SampleCase {
    std::string folder;
    std::string name;
    fs::path base;
};

std::vector<SampleCase> allCases() {
    std::vector<SampleCase> cases;
    for (const auto& folder : fs::directory_iterator(HARBROOK_LISTING_SAMPLES_DIR)) {
        if (!folder.is_directory()) {
            continue;
        }
        for (const auto& file : fs::directory_iterator(folder.path())) {
            if (file.path().extension() == ".txt") {
                cases.push_back({folder.path().filename().string(), file.path().stem().string(),
                                 file.path().parent_path() / file.path().stem()});
            }
        }
    }
    std::sort(cases.begin(), cases.end(), [](const SampleCase& a, const SampleCase& b) {
        return std::tie(a.folder, a.name) < std::tie(b.folder, b.name);
    });
    return cases;
}

std::string systemOf(const SampleCase& sample) {
    const std::string path = sample.base.string() + ".syst";
    return fs::exists(path) ? harbrook::trimControl(readFile(path)) : std::string();
}

// Parses a sample the way the client does for its layout; returns the layout that took it.
std::string parseAs(const TIdFTPListBase& layout, const std::vector<std::string>& lines,
                    const std::string& syst, TIdFTPListItems& items) {
    std::string identifier;
    if (layout.Identifier() == "MLST") {
        DefaultListParsers().ParseListing(lines, items, "MLST");
        identifier = "MLST";
    } else {
        DefaultListParsers().CheckAndParseListing(lines, items, layout.Identifier() != "NLST", syst,
                                                  identifier);
    }
    return identifier;
}

std::string entryText(const TIdFTPListItem& item) {
    return typeName(item.ItemType) + "\t" + (item.SizeAvail ? std::to_string(item.Size) : "-") + "\t" +
           std::to_string(item.ModifiedDate) + "\t" + std::string(item.FileName()) + "\t" +
           std::string(item.LocalFileName()) + "\t" + std::string(item.PermissionDisplay());
}

// A sample of a built layout parsed whole, as the client parses it: what the other ways
// of parsing it are held against.
struct KeptParse {
    const TIdFTPListBase* layout = nullptr;
    std::vector<std::string> lines;
    std::string syst;
    std::string identifier;
    std::vector<std::string> entries;
};

std::optional<KeptParse> keptParseOf(const SampleCase& sample) {
    KeptParse kept;
    kept.layout = DefaultListParsers().AtPosition(std::stoi(sample.folder.substr(0, sample.folder.find('-'))));
    if (kept.layout == nullptr) {
        return std::nullopt;
    }
    kept.lines = fileLines(sample.base.string() + ".txt");
    kept.syst = systemOf(sample);
    TIdFTPListItems items;
    kept.identifier = parseAs(*kept.layout, kept.lines, kept.syst, items);
    for (const auto& item : items) {
        kept.entries.push_back(entryText(*item));
    }
    return kept;
}

// Runs `check` on the kept parse of every sample of a built layout.
template <typename Check>
void forEachKeptParse(Check check) {
    for (const SampleCase& sample : allCases()) {
        if (const std::optional<KeptParse> kept = keptParseOf(sample)) {
            SCOPED_TRACE(sample.folder + "/" + sample.name);
            check(*kept);
        }
    }
}

// A taker of handed-on entries that writes them down as `entryText`s.
std::function<void(const TIdFTPListItems&)> writingDown(std::vector<std::string>& texts) {
    return [&texts](const TIdFTPListItems& some) {
        for (const auto& item : some) {
            texts.push_back(entryText(*item));
        }
    };
}

// Entries handed on in batches (to make rows while parsing) are the entries a whole parse
// keeps, in the same order, whatever the batch: no layout's entry is handed on before its
// last line is read, none is lost or given twice.
TEST(ListingSamples, EntriesHandedOnInBatchesAreTheKeptOnes) {
    int checked = 0;
    forEachKeptParse([&](const KeptParse& kept) {
        for (const std::size_t batch : {1, 2, 3, 4096}) {
            std::vector<std::string> handed;
            TIdFTPListItems items;
            items.HandOnEvery(batch, writingDown(handed));
            parseAs(*kept.layout, kept.lines, kept.syst, items);
            EXPECT_EQ(handed, kept.entries) << "batch " << batch;
            EXPECT_EQ(items.Count(), 0u) << "batch " << batch;
            ++checked;
        }
    });
    EXPECT_GE(checked, 4 * 52);
}

// Parsed while it arrives, a few lines at a time: either every entry handed on is the
// whole parse's (when the layout the first lines suggest is the one all lines settle on
// and it parses in pieces), or the parse ahead says so and what it gave is void.
TEST(ListingSamples, EntriesParsedWhileTheListingArrivesAreTheKeptOnes) {
    int confirmed = 0;
    forEachKeptParse([&](const KeptParse& kept) {
        const std::vector<std::string>& lines = kept.lines;
        for (const std::size_t piece : {1, 2, 5}) {
            std::vector<std::string> handed;
            TIdListingParseAhead ahead(DefaultListParsers(), kept.layout->Identifier() != "NLST", kept.syst, 2,
                                       writingDown(handed));
            if (kept.layout->Identifier() == "MLST") {
                ahead.Expect("MLST");
            }
            TIdListingLines arriving;
            for (std::size_t at = 0; at < lines.size(); at += piece) {
                std::string text;
                for (std::size_t i = at; i < std::min(lines.size(), at + piece); ++i) {
                    text += lines[i] + "\r\n";
                }
                arriving.Append(std::move(text));
                // The last piece is in only when the listing ends, as a stream's last block.
                if (at + piece < lines.size()) {
                    ahead.Arrived(arriving);
                }
            }
            const TIdListingLines moved = std::move(arriving);
            if (const std::optional<std::string> settled = ahead.Finish(moved)) {
                EXPECT_EQ(*settled, kept.identifier) << "pieces of " << piece;
                EXPECT_EQ(handed, kept.entries) << "pieces of " << piece;
                ++confirmed;
            }
        }
    });
    // Unix, Unitree and MLST samples, in each size of piece.
    EXPECT_GE(confirmed, 3 * 6);
}

// A layout earlier in the order that only the later lines show: the entries handed on as
// Unix are void, and the parse ahead says so.
TEST(ListingSamples, AParseAheadThatTheWholeListingOverrulesIsVoid) {
    class MarkedLater : public TIdFTPLPNList {
    public:
        std::string Identifier() const override { return "Marked"; }
        bool CheckListing(const TIdListingLines& listing, const std::string&, bool) const override {
            return std::find(listing.begin(), listing.end(), "MARK") != listing.end();
        }
    };
    TIdFTPListParserRegistry registry;
    registry.RegisterParser(1, std::make_unique<MarkedLater>());
    registry.RegisterParser(18, std::make_unique<TIdFTPLPUnix>());
    for (const bool marked : {false, true}) {
        SCOPED_TRACE(marked ? "marked" : "plain Unix");
        int handed = 0;
        TIdListingParseAhead ahead(registry, true, "", 1, [&](const TIdFTPListItems& some) {
            handed += static_cast<int>(some.Count());
        });
        TIdListingLines arriving;
        arriving.Append("-rw-r--r-- 1 u g 1 Jan  1  2000 a\r\n-rw-r--r-- 1 u g 2 Jan  1  2000 b\r\n");
        ahead.Arrived(arriving);
        EXPECT_EQ(ahead.Identifier(), "Unix");
        arriving.Append(std::string(marked ? "MARK\r\n" : "") + "-rw-r--r-- 1 u g 3 Jan  1  2000 c\r\n");
        const std::optional<std::string> settled = ahead.Finish(arriving);
        if (marked) {
            EXPECT_FALSE(settled.has_value());
            // The two parsed while arriving may have been handed on by then (and are
            // void, which HandedOn says); nothing is handed on once overruled.
            EXPECT_EQ(ahead.HandedOn(), handed > 0);
            EXPECT_TRUE(handed == 0 || handed == 2) << handed;
        } else {
            EXPECT_EQ(settled.value_or("none"), "Unix");
            EXPECT_EQ(handed, 3);
        }
    }
}

TEST(ListingSamples, EveryCaseOfEveryRegisteredLayout) {
    int checked = 0;
    for (const SampleCase& sample : allCases()) {
        const int position = std::stoi(sample.folder.substr(0, sample.folder.find('-')));
        const TIdFTPListBase* layout = DefaultListParsers().AtPosition(position);
        SCOPED_TRACE(sample.folder + "/" + sample.name);
        const auto lines = fileLines(sample.base.string() + ".txt");
        const std::string syst = systemOf(sample);
        if (layout == nullptr) {
            // A layout still to be built: no other layout may take its listing.
            TIdFTPListItems items;
            std::string identifier;
            DefaultListParsers().CheckAndParseListing(lines, items, true, syst, identifier);
            EXPECT_EQ(identifier, "") << "taken by another layout";
            continue;
        }
        TIdFTPListItems items;
        const std::string identifier = parseAs(*layout, lines, syst, items);
        EXPECT_EQ(identifier, layout->Identifier()) << "recognised as another layout";

        const auto expected = fileLines(sample.base.string() + ".expected");
        ASSERT_EQ(items.Count(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            std::stringstream row(expected[i]);
            std::string type;
            std::string size;
            std::getline(row, type, '\t');
            std::getline(row, size, '\t');
            const std::string name = expected[i].substr(type.size() + size.size() + 2);
            const TIdFTPListItem& item = items[i];
            SCOPED_TRACE("entry " + std::to_string(i + 1) + ": " + expected[i]);
            if (type != "?") {
                EXPECT_EQ(typeName(item.ItemType), type);
            }
            if (size != "?") {
                EXPECT_EQ(item.SizeAvail ? std::to_string(item.Size) : "-", size);
            }
            EXPECT_EQ(item.FileName(), name);
        }
        ++checked;
    }
    EXPECT_GE(checked, 52) << "the samples of the layouts built so far";
}

// A parse carries the date columns it read last from line to line (they mostly repeat):
// in every real Unix listing each entry is still what its line makes alone.
TEST(ListingSamples, EveryUnixEntryIsWhatItsLineMakesAlone) {
    int checked = 0;
    forEachKeptParse([&](const KeptParse& kept) {
        const std::string layout = kept.layout->Identifier();
        if (layout != "Unix" && layout != "Unitree") {
            return;
        }
        const auto shown = [](const TIdFTPListItem& item) {
            return typeName(item.ItemType) + "\t" + (item.SizeAvail ? std::to_string(item.Size) : "-") + "\t" +
                   (item.ModifiedAvail ? std::to_string(item.ModifiedDate) : "-") + "\t" +
                   std::string(item.LocalFileName());
        };
        const TIdListingLines lines(kept.lines);
        TIdFTPListItems items;
        items.ReferTo(&lines);
        DefaultListParsers().ParseListing(lines, items, layout);
        for (const auto& item : items) {
            TIdFTPListItems alone;
            DefaultListParsers().ParseListing(std::vector<std::string>{std::string(item->Data)}, alone, layout);
            ASSERT_EQ(alone.Count(), 1u) << item->Data;
            EXPECT_EQ(shown(*item), shown(alone[0])) << item->Data;
            ++checked;
        }
    });
    EXPECT_GE(checked, 100);
}

}  // namespace
}  // namespace harbrook::testing

// Pieces are parsed beside the reader: what fails there (here the taker) is raised to
// the reader, by the next piece or by Finish, and stops the parse; a halted parse ends
// at once, whatever was still queued.
TEST(ListingSamples, AFailureOfTheParseBesideReachesTheReader) {
    for (const bool halt : {false, true}) {
        SCOPED_TRACE(halt ? "halted" : "taker fails");
        int batches = 0;
        // The lines outlive the parse of them (as a session's listing does).
        TIdListingLines arriving;
        TIdListingParseAhead ahead(DefaultListParsers(), true, "", 10, [&](const TIdFTPListItems&) {
            if (!halt && ++batches == 3) {
                throw std::runtime_error("taker failed");
            }
        });
        std::string raised;
        try {
            for (int piece = 0; piece < 200; ++piece) {
                std::string text;
                for (int i = 0; i < 50; ++i) {
                    text += "-rw-r--r-- 1 u g " + std::to_string(piece * 50 + i) + " Jan  1  2000 f\r\n";
                }
                arriving.Append(std::move(text));
                ahead.Arrived(arriving);
            }
            if (halt) {
                ahead.Halt();
                ahead.Halt();
            } else {
                ahead.Finish(arriving);
            }
        } catch (const std::runtime_error& failure) {
            raised = failure.what();
        }
        EXPECT_EQ(raised, halt ? "" : "taker failed");
        if (!halt) {
            EXPECT_EQ(batches, 3) << "nothing more was parsed after the failure";
        }
    }
}
