// Listing parse speed: Unix and Windows NT listings of 100,000 and 1,000,000 lines. Lines
// per second should not fall as the listing grows (parsing is linear).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ftp/listing/IdFTPListParseBase.h"

namespace {

std::vector<std::string> unixListing(int lines) {
    std::vector<std::string> listing;
    listing.reserve(static_cast<size_t>(lines) + 1);
    listing.push_back("total " + std::to_string(lines));
    for (int i = 0; i < lines; ++i) {
        listing.push_back((i % 10 == 0 ? "drwxr-xr-x   2 " : "-rw-r--r--   1 ") +
                          std::string("owner    group    ") + std::to_string(1000 + i) +
                          (i % 2 == 0 ? " Dec 31 23:59 " : " Mar  5  2007 ") + "file number " +
                          std::to_string(i) + ".bin");
    }
    return listing;
}

// As vsftpd lists a folder whose files were made in the same minute: wide columns, one
// date throughout.
std::vector<std::string> sameDateListing(int lines) {
    std::vector<std::string> listing;
    listing.reserve(static_cast<size_t>(lines));
    char line[128];
    for (int i = 0; i < lines; ++i) {
        std::snprintf(line, sizeof line, "-rw-r--r--    1 0        0               0 Dec 11 12:56 entry-%07d.dat", i);
        listing.emplace_back(line);
    }
    return listing;
}

std::vector<std::string> windowsListing(int lines) {
    std::vector<std::string> listing;
    listing.reserve(static_cast<size_t>(lines));
    for (int i = 0; i < lines; ++i) {
        if (i % 10 == 0) {
            listing.push_back("12-31-07  11:59PM       <DIR>          Folder " + std::to_string(i));
        } else {
            std::string size = std::to_string(1000 + i);
            listing.push_back("01-02-08  09:05AM " + std::string(21 - size.size(), ' ') + size +
                              " report " + std::to_string(i) + ".txt");
        }
    }
    return listing;
}

void parse(benchmark::State& state, const std::vector<std::string>& lines, const char* layout) {
    const TIdListingLines listing(lines);
    for (auto _ : state) {
        TIdFTPListItems items;
        // As the client parses: the entries point into the listing's own lines.
        items.ReferTo(&listing);
        std::string identifier;
        DefaultListParsers().CheckAndParseListing(listing, items, true, "", identifier);
        if (identifier != layout || items.Count() + 1 < listing.size()) {
            state.SkipWithError("the listing was not parsed as expected");
        }
        benchmark::DoNotOptimize(items.Count());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(listing.size()));
}

void ParseUnixListing(benchmark::State& state) {
    parse(state, unixListing(static_cast<int>(state.range(0))), "Unix");
}
BENCHMARK(ParseUnixListing)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void ParseUnixSameDateListing(benchmark::State& state) {
    parse(state, sameDateListing(static_cast<int>(state.range(0))), "Unix");
}
BENCHMARK(ParseUnixSameDateListing)->Arg(100000)->Unit(benchmark::kMillisecond);

void ParseWindowsNtListing(benchmark::State& state) {
    parse(state, windowsListing(static_cast<int>(state.range(0))), "Windows NT");
}
BENCHMARK(ParseWindowsNtListing)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Detection alone, as the client asks it twice per listing: over the first block that
// arrives (its lines are parsed while the rest arrives) and over the whole listing.
void DetectUnixListing(benchmark::State& state) {
    const std::vector<std::string> lines = unixListing(static_cast<int>(state.range(0)));
    const TIdListingLines listing(lines);
    for (auto _ : state) {
        const TIdFTPListBase* layout = DefaultListParsers().Detect(listing, true, "");
        if (layout == nullptr || layout->Identifier() != "Unix") {
            state.SkipWithError("the listing was not detected as Unix");
        }
        benchmark::DoNotOptimize(layout);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(listing.size()));
}
BENCHMARK(DetectUnixListing)->Arg(4000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
