// harbrook-cli: the command-line front end over the FTP library and the transfer
// engine: one session, the commands of the command line in turn.

#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/LocalFiles.h"
#include "tools/harbrook-cli/CliOptions.h"
#include "tools/harbrook-cli/CliSession.h"
#include "tools/harbrook-cli/ListingOutput.h"

namespace {

// Server texts end their lines with CR LF; a terminal wants LF alone.
std::string forTerminal(std::string message) {
    std::string text;
    for (char c : message) {
        if (c != '\r') {
            text += c;
        }
    }
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace harbrook::cli;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help") {
        std::cout << "harbrook-cli " << harbrook::ProgramVersionText() << "\n\n" << usageText();
        return 0;
    }
    if (args[0] == "--version") {
        std::cout << "harbrook-cli " << harbrook::ProgramVersionText() << "\n";
        return 0;
    }
    if (args[0] == "parse-listing") {
        try {
            return runParseListing(std::vector<std::string>(args.begin() + 1, args.end()), std::cin,
                                   std::cout, std::cerr);
        } catch (const std::exception& failure) {
            std::cerr << forTerminal(failure.what()) << "\n";
            return 1;
        }
    }
    std::string error;
    const auto options = parseCliOptions(args, error);
    if (!options) {
        std::cerr << "harbrook-cli: " << error << "\n\n" << usageText();
        return 2;
    }
    try {
        CliSession session(*options, std::cout);
        session.connect();
        for (const std::string& command : options->commands) {
            session.run(command);
        }
        session.disconnect();
    } catch (const std::invalid_argument& mistake) {
        std::cerr << "harbrook-cli: " << mistake.what() << "\n";
        return 2;
    } catch (const std::exception& failure) {
        std::cerr << forTerminal(failure.what()) << "\n";
        return 1;
    }
    return 0;
}
