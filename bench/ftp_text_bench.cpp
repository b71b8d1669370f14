// Text handling on the control and listing paths: reply parsing and listing splitting.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "ftp/client/IdFTPCommandText.h"
#include "ftp/listing/IdFTPList.h"
#include "ftp/transport/IdReply.h"

namespace {

void ParseFeatureReply(benchmark::State& state) {
    std::vector<std::string> lines = {"211-Features:"};
    for (int i = 0; i < 40; ++i) {
        lines.push_back("FEATURE" + std::to_string(i) + " with some arguments");
    }
    lines.push_back("211 End");
    for (auto _ : state) {
        TIdReplyFTP reply;
        reply.ParseLines(lines);
        benchmark::DoNotOptimize(reply.Text().size());
    }
}
BENCHMARK(ParseFeatureReply);

void SplitLargeListing(benchmark::State& state) {
    std::string text;
    for (int i = 0; i < 100000; ++i) {
        text += "-rw-r--r--   1 owner    group      1048576 Jan 01  2024 file" + std::to_string(i) + ".bin\r\n";
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(TIdListingLines::FromText(text).size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(SplitLargeListing);

}  // namespace
