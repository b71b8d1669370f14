// What a user types for harbrook-cli: a command line split as a shell splits it and
// checked as a command, and the program's arguments (NUL-separated here).

#include "fuzz/FuzzInput.h"
#include "tools/harbrook-cli/CliCommand.h"
#include "tools/harbrook-cli/CliOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = harbrook::fuzz::textOf(data, size);
    std::string error;
    if (const auto words = harbrook::cli::splitCommandWords(text, error)) {
        (void)words->size();
    }
    (void)harbrook::cli::parseCliCommand(text, error);
    std::vector<std::string> args;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find('\0', at)) != std::string::npos; at = end + 1) {
        args.push_back(text.substr(at, end - at));
    }
    args.push_back(text.substr(at));
    (void)harbrook::cli::parseCliOptions(args, error);
    return 0;
}
