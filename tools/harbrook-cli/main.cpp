// harbrook-cli: the command-line front end over the FTP library and the transfer
// engine: one session, the commands of the command line in turn.

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/LocalFiles.h"
#include "tools/harbrook-cli/CliMessages.h"
#include "tools/harbrook-cli/CliOptions.h"
#include "tools/harbrook-cli/CliSession.h"
#include "tools/harbrook-cli/ListingOutput.h"

namespace {

constexpr int kExitInterrupted = 130;

// Ctrl-C is taken by a thread of its own (a signal handler may not touch the session):
// the first cuts a running transfer, which then ends cleanly with ABOR and keeps old
// local files; when no transfer runs the session stops after its current command, or
// a second later at the latest; a second Ctrl-C ends the program at once.
void watchForInterrupts(harbrook::cli::CliSession& session) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::thread([&session, signals] {
        int received = 0;
        sigwait(&signals, &received);
        if (!session.interrupt()) {
            std::thread([&session] {
                std::this_thread::sleep_for(std::chrono::seconds(1));
                // A transfer whose data had all gone waits for the server's word on it.
                const std::string what = session.activity();
                std::cerr << (what.empty() ? std::string("interrupted")
                                           : harbrook::cli::forTerminal(what) + " interrupted before the server confirmed it")
                          << "\n";
                ::_exit(kExitInterrupted);
            }).detach();
        }
        sigwait(&signals, &received);
        ::_exit(kExitInterrupted);
    }).detach();
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
            std::cerr << forTerminal(messageOf(failure)) << "\n";
            return 1;
        }
    }
    std::string error;
    const auto options = parseCliOptions(args, error);
    if (!options) {
        std::cerr << "harbrook-cli: " << forTerminal(error) << "\n\n" << usageText();
        return 2;
    }
    const Credentials credentials =
        resolveCredentials(*options, std::getenv("HARBROOK_PASSWORD"), defaultNetrcPath());
    CliSession session(*options, credentials, std::cout);
    watchForInterrupts(session);
    try {
        session.connect();
        for (const CliCommand& command : options->parsedCommands) {
            session.run(command);
        }
        session.disconnect();
    } catch (const std::exception& failure) {
        std::cout.flush();
        std::cerr << forTerminal(messageOf(failure)) << "\n";
        return session.interrupted() ? kExitInterrupted : 1;
    }
    return 0;
}
