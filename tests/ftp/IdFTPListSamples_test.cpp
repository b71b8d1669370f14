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

TEST(ListingSamples, EveryCaseOfEveryRegisteredLayout) {
    int checked = 0;
    for (const SampleCase& sample : allCases()) {
        const int position = std::stoi(sample.folder.substr(0, sample.folder.find('-')));
        const TIdFTPListBase* layout = DefaultListParsers().AtPosition(position);
        SCOPED_TRACE(sample.folder + "/" + sample.name);
        const auto lines = fileLines(sample.base.string() + ".txt");
        std::string syst;
        if (fs::exists(sample.base.string() + ".syst")) {
            syst = harbrook::trimControl(readFile(sample.base.string() + ".syst"));
        }
        if (layout == nullptr) {
            // A layout still to be built: no other layout may take its listing.
            TIdFTPListItems items;
            std::string identifier;
            DefaultListParsers().CheckAndParseListing(lines, items, true, syst, identifier);
            EXPECT_EQ(identifier, "") << "taken by another layout";
            continue;
        }
        TIdFTPListItems items;
        std::string identifier;
        if (layout->Identifier() == "MLST") {
            DefaultListParsers().ParseListing(lines, items, "MLST");
            identifier = "MLST";
        } else {
            DefaultListParsers().CheckAndParseListing(lines, items, layout->Identifier() != "NLST",
                                                      syst, identifier);
        }
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
