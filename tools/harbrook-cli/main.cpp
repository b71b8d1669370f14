// harbrook-cli: the command-line front end over the FTP library and the transfer
// engine. It grows with the library; for now it reports its version.

#include <cstring>
#include <iostream>

#include "platform/HarbrookVersion.h"

namespace {

void printUsage(std::ostream& out) {
    out << "Usage: harbrook-cli [--help] [--version]\n"
           "\n"
           "Command-line front end of Harbrook, the FTP client.\n"
           "\n"
           "  --help      show this text\n"
           "  --version   show the version\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::cout << "harbrook-cli " << HARBROOK_VERSION_TEXT << "\n";
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        printUsage(std::cout);
        return 0;
    }
    std::cout << "harbrook-cli " << HARBROOK_VERSION_TEXT << "\n\n";
    printUsage(std::cout);
    return argc == 1 ? 0 : 2;
}
