// A .netrc file: the entry for a host, with and without an account given.

#include "fuzz/FuzzInput.h"
#include "tools/harbrook-cli/CliCredentials.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = harbrook::fuzz::textOf(data, size);
    for (const char* host : {"h", "ftp.example", "default"}) {
        (void)harbrook::cli::findNetrcEntry(text, host, std::nullopt);
        (void)harbrook::cli::findNetrcEntry(text, host, std::string("u"));
    }
    return 0;
}
