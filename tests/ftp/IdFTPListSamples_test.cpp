// Real listings from many servers (tests/ftp/listing-samples): every case of every
// registered layout is recognised as its own layout and parses to its expected entries.
// New cases and new layouts are picked up without code changes.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ftp/client/IdFTPCommandText.h"
#include "ftp/listing/IdFTPListParseBase.h"
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

// Entries handed on in batches (to make rows while parsing) are the entries a whole parse
// keeps, in the same order, whatever the batch: no layout's entry is handed on before its
// last line is read, none is lost or given twice.
TEST(ListingSamples, EntriesHandedOnInBatchesAreTheKeptOnes) {
    int checked = 0;
    for (const SampleCase& sample : allCases()) {
        const TIdFTPListBase* layout =
            DefaultListParsers().AtPosition(std::stoi(sample.folder.substr(0, sample.folder.find('-'))));
        if (layout == nullptr) {
            continue;
        }
        SCOPED_TRACE(sample.folder + "/" + sample.name);
        const auto lines = fileLines(sample.base.string() + ".txt");
        const std::string syst = systemOf(sample);
        TIdFTPListItems kept;
        parseAs(*layout, lines, syst, kept);
        std::vector<std::string> whole;
        for (const auto& item : kept) {
            whole.push_back(entryText(*item));
        }
        for (const std::size_t batch : {1, 2, 3, 4096}) {
            std::vector<std::string> handed;
            TIdFTPListItems items;
            items.HandOnEvery(batch, [&](const TIdFTPListItems& some) {
                for (const auto& item : some) {
                    handed.push_back(entryText(*item));
                }
            });
            parseAs(*layout, lines, syst, items);
            EXPECT_EQ(handed, whole) << "batch " << batch;
            EXPECT_EQ(items.Count(), 0u) << "batch " << batch;
            ++checked;
        }
    }
    EXPECT_GE(checked, 4 * 52);
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

}  // namespace
}  // namespace harbrook::testing
