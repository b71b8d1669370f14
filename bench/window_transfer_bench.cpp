// The window's transfer workers against harbrook-cli and curl: a 1 GiB download and
// upload through the real main window (offscreen), its workers' blocks (the command line's),
// plain and with TLS-protected data, against vsftpd on loopback (run as root); every copy
// of ours compared by SHA-256. Alternating rounds,
// medians; also the longest gap between two ticks of a 10 ms GUI timer while the
// window transfers, and the process's peak memory. Usage: window_transfer_bench [ROUNDS [plain|tls]]
// With --list N: the window connecting to a folder of N files, its time and memory.
// With --tree N [ROUNDS]: the window downloading and uploading a tree of N files over 1 and
// 4 connections.

#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/TFHarbrook.h"
#include "engine/QueueEntries.h"
#include "engine/TransferList.h"
#include "platform/qt/Guard.h"
#include "platform/qt/QtDispatcher.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempDir.h"
#include "tests/support/VsftpdServer.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr std::int64_t kSize = std::int64_t{1} << 30;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double runCommand(const std::string& command) {
    ::sync();
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return seconds(start);
}

// Runs the event loop until `done` (the window's session works on a thread of its own
// and reports back through the loop); false after `ms`.
template <typename Done>
bool runUntil(Done done, int ms) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    QTimer wake;
    wake.start(10);
    while (!done()) {
        if (Clock::now() > until) {
            return false;
        }
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Runs the event loop until the transfer is over; returns the time taken and notes the
// longest gap between two ticks of a 10 ms timer.
template <typename Done>
double runWindowTransfer(Done done, qint64& longestGap) {
    // Each run starts with the disk quiet, not writing back the gigabyte before.
    ::sync();
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
    });
    ticker.start();
    const auto start = Clock::now();
    // Waits for events as the program's own loop does (the ticker wakes it): a loop
    // that polls would take a core from the transfer on a 2-core machine.
    while (!done()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return seconds(start);
}

}  // namespace

TFHarbrookSetup windowSetup(const harbrook::testing::TempDir& local) {
    TFHarbrookSetup setup;
    setup.iniPath = local.file("Harbrook.ini");
    setup.programPath = local.file("Harbrook.ini");
    return setup;
}

// Shows the window with the server's login typed in, explicit TLS ticked.
void showLoginFor(TFHarbrook& window, const harbrook::testing::VsftpdServer& server) {
    window.show();
    window.host->setText("127.0.0.1");
    window.Lumo_edit2->setText(QString::number(server.port()));
    window.user->setText(QString::fromStdString(server.user()));
    window.pass->setText(QString::fromStdString(server.password()));
    window.CheckBox1->setChecked(true);
}

// The window connecting to a folder of `entries` files: the time until both lists are
// filled, the memory the listing takes (peak RSS after, less before), the longest gap
// between GUI timer ticks meanwhile, and how long select-all and a scroll to the end take.
int listInWindow(harbrook::testing::VsftpdServer& server, harbrook::testing::TempDir& local, int entries,
                 const harbrook::testing::ScriptedDialogs& dialogs) {
    double nameBytes = 0;
    for (int i = 0; i < entries; ++i) {
        const std::string leaf = "entry-" + std::to_string(i) + ".bin";
        nameBytes += static_cast<double>(leaf.size());
        const int made = ::open((server.root() + "/" + leaf).c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (made < 0) {
            std::fprintf(stderr, "cannot make %s\n", leaf.c_str());
            return 1;
        }
        ::close(made);
    }
    nameBytes /= entries;
    TFHarbrook window(windowSetup(local));
    showLoginFor(window, server);
    QApplication::processEvents();
    rusage before {};
    ::getrusage(RUSAGE_SELF, &before);
    const auto heapInUse = [] {
        const struct mallinfo2 heap = ::mallinfo2();
        return static_cast<double>(heap.uordblks + heap.hblkhd);
    };
    const double heapBefore = heapInUse();
    qint64 longestGap = 0;
    window.bitmap1Click();
    const double took = runWindowTransfer(
        [&] { return window.Lumo_listbox3->count() == entries && !window.Session().Busy(); }, longestGap);
    rusage after {};
    ::getrusage(RUSAGE_SELF, &after);
    // What the shown folder keeps once the listing itself is let go of.
    const double kept = (heapInUse() - heapBefore) / entries;
    if (window.Lumo_listbox3->count() != entries) {
        std::fprintf(stderr, "the window shows %d of %d entries\n", window.Lumo_listbox3->count(), entries);
        for (const std::string& shown : dialogs.Shown()) {
            std::fprintf(stderr, "  it said: %s\n", shown.c_str());
        }
        return 1;
    }
    QElapsedTimer handling;
    handling.start();
    window.Lumo_listbox3->setFocus();
    QTest::keyClick(window.Lumo_listbox3, Qt::Key_A, Qt::ControlModifier);
    QApplication::processEvents();
    const qint64 selectAll = handling.restart();
    const std::size_t selected = window.Lumo_listbox3->SelectedRows().size();
    handling.restart();
    QTest::keyClick(window.Lumo_listbox3, Qt::Key_End);
    QApplication::processEvents();
    const qint64 toEnd = handling.restart();
    // The listing's arrival: curl's raw listing of the same folder over the same TLS
    // (log-in, LIST, nothing parsed); the better of two.
    const std::string url = "ftp://" + server.user() + ":" + server.password() + "@127.0.0.1:" +
                            std::to_string(server.port()) + "/";
    double raw = 1e9;
    for (int round = 0; round < 2; ++round) {
        raw = std::min(raw, runCommand("curl -s -k --ssl-reqd -o /dev/null '" + url + "'"));
    }
    const double perEntry = (after.ru_maxrss - before.ru_maxrss) * 1024.0 / entries;
    std::printf("window_transfer_bench: the window connecting to a folder of %d files (vsftpd, TLS)\n", entries);
    std::printf("  %.2f s until both lists are filled; longest GUI tick gap %lld ms; peak RSS %.1f MiB "
                "(%.1f MiB before), %.0f bytes per entry beyond its %.0f-byte name\n",
                took, static_cast<long long>(longestGap), after.ru_maxrss / 1024.0, before.ru_maxrss / 1024.0,
                perEntry - nameBytes, nameBytes);
    std::printf("  kept while shown: %.0f bytes per entry beyond its name (heap in use)\n", kept - nameBytes);
    std::printf("  curl's raw listing of the folder %.2f s: the window showed it %.2f s after it could have arrived\n",
                raw, took - raw);
    std::printf("  select all (Ctrl+A) %lld ms (%zu rows selected), End %lld ms\n", static_cast<long long>(selectAll),
                selected, static_cast<long long>(toEnd));
    window.close();
    return 0;
}

// The window downloading and uploading a tree of `files` files of 4 KiB to 1 MiB (log-even
// sizes, 20 folders) with one connection and with four: medians of `rounds`, every copy
// compared byte for byte (each file is the start of one block).
int treeInWindow(harbrook::testing::VsftpdServer& server, harbrook::testing::TempDir& local, int files, int rounds,
                 const harbrook::testing::ScriptedDialogs& dialogs) {
    std::vector<std::pair<std::string, std::uintmax_t>> made;
    std::string block(1 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<char>((i * 2654435761u) >> 13);
    }
    std::uint64_t seed = 7;
    std::uintmax_t total = 0;
    for (int i = 0; i < files; ++i) {
        seed = seed * 6364136223846793005u + 1442695040888963407u;
        const double unit = static_cast<double>(seed >> 11) / 9007199254740992.0;
        const auto size = static_cast<std::size_t>(4096 * std::pow(256.0, unit));
        char folder[16];
        std::snprintf(folder, sizeof folder, "d%02d", i % 20);
        const std::string relative = std::string("tree/") + folder + "/f" + std::to_string(i) + ".bin";
        fs::create_directories(server.root() + "/tree/" + folder);
        FILE* file = std::fopen((server.root() + "/" + relative).c_str(), "wb");
        std::fwrite(block.data(), 1, size, file);
        std::fclose(file);
        made.emplace_back(relative, size);
        total += size;
    }
    struct stat owner {};
    ::stat(server.root().c_str(), &owner);
    for (const auto& entry : fs::recursive_directory_iterator(server.root() + "/tree")) {
        [[maybe_unused]] const int ignored = ::chown(entry.path().c_str(), owner.st_uid, owner.st_gid);
    }
    [[maybe_unused]] const int ignored = ::chown((server.root() + "/tree").c_str(), owner.st_uid, owner.st_gid);
    TFHarbrook window(windowSetup(local));
    showLoginFor(window, server);
    window.bitmap1Click();
    if (!runUntil([&] { return window.Session().Connected() && !window.Session().Busy(); }, 30000)) {
        std::fprintf(stderr, "the window did not connect\n");
        return 1;
    }
    // Download then upload, 1 and 4 connections taking turns at going first. The upload
    // sends the tree the download made, under a new name each time.
    std::vector<double> down[2];
    std::vector<double> up[2];
    qint64 longestGap = 0;
    auto copyIsWhole = [&](const std::string& base) {
        std::string copy;
        for (const auto& [relative, size] : made) {
            copy.assign(size + 1, '\0');
            FILE* file = std::fopen((base + "/" + relative.substr(5)).c_str(), "rb");
            const std::size_t got = file ? std::fread(copy.data(), 1, copy.size(), file) : 0;
            if (file) {
                std::fclose(file);
            }
            if (got != size || copy.compare(0, size, block, 0, size) != 0) {
                std::fprintf(stderr, "the window's copy of %s in %s is wrong\n", relative.c_str(), base.c_str());
                for (const std::string& shown : dialogs.Shown()) {
                    std::fprintf(stderr, "  it said: %s\n", shown.c_str());
                }
                return false;
            }
        }
        return true;
    };
    for (int round = 0; round < rounds; ++round) {
        for (int choice = 0; choice < 2; ++choice) {
            const int connections = (round + choice) % 2 == 0 ? 1 : 4;
            const int slot = connections == 1 ? 0 : 1;
            fs::remove_all(local.file("down"));
            fs::create_directories(local.file("down"));
            window.ParallelFiles->setValue(connections);
            window.DownloadQueue->Add(DownloadQueueEntry(window.CurrentFolder(), "tree", true, local.file("down")),
                                      window.Session().Site());
            down[slot].push_back(runWindowTransfer(
                [&] { return window.DownloadQueue->Count() == 0 && TransferRecords().empty(); }, longestGap));
            if (!copyIsWhole(local.file("down/tree"))) {
                return 1;
            }
            const std::string sent = "up-" + std::to_string(round) + "-" + std::to_string(choice);
            fs::rename(local.file("down/tree"), local.file("down/" + sent));
            window.UploadQueue->Add(UploadQueueEntry(local.file("down/" + sent), window.CurrentFolder()),
                                    window.Session().Site());
            up[slot].push_back(runWindowTransfer(
                [&] { return window.UploadQueue->Count() == 0 && TransferRecords().empty(); }, longestGap));
            if (!copyIsWhole(server.root() + "/" + sent)) {
                return 1;
            }
            fs::remove_all(server.root() + "/" + sent);
        }
    }
    std::printf("window_transfer_bench: the window copying a tree of %d files (%.0f MiB), vsftpd, TLS, "
                "%d rounds, medians\n", files, static_cast<double>(total) / 1048576.0, rounds);
    std::printf("  download: 1 connection %.2f s, 4 connections %.2f s (%.2fx faster)\n", median(down[0]),
                median(down[1]), median(down[0]) / median(down[1]));
    std::printf("  upload:   1 connection %.2f s, 4 connections %.2f s (%.2fx faster)\n", median(up[0]),
                median(up[1]), median(up[0]) / median(up[1]));
    std::printf("  longest GUI tick gap %lld ms\n", static_cast<long long>(longestGap));
    window.close();
    return 0;
}

// 1 GiB down and up through the window's workers, harbrook-cli and curl, plain or over
// explicit TLS with PROT P: alternating rounds, medians, every copy's SHA-256 compared.
int transfersBeside(harbrook::testing::VsftpdServer& server, harbrook::testing::TempDir& local, bool tls,
                    int rounds, const std::string& whole, harbrook::testing::ScriptedDialogs& dialogs) {
    const std::string localUp = local.file("up.bin");
    TFHarbrook window(windowSetup(local));
    showLoginFor(window, server);
    window.CheckBox1->setChecked(tls);
    window.bitmap1Click();
    if (!runUntil([&] { return window.Session().Connected() && !window.Session().Busy() &&
                               window.Lumo_listbox3->count() > 0; }, 30000)) {
        std::fprintf(stderr, "the window did not connect\n");
        return 1;
    }
    const std::string cli = HARBROOK_CLI_PATH;
    const std::string login = std::string(tls ? " --tls" : "") + " --port " + std::to_string(server.port()) +
                              " --user " + server.user() + " --pass '" + server.password() + "' 127.0.0.1 ";
    const std::string curlTls = tls ? " --ssl-reqd" : "";
    const std::string url = "ftp://" + server.user() + ":" + server.password() + "@127.0.0.1:" +
                            std::to_string(server.port()) + "/";
    int wrong = 0;
    auto check = [&](const std::string& copy) {
        if (harbrook::testing::sha256OfFile(copy) != whole) {
            std::fprintf(stderr, "the copy %s is not the file\n", copy.c_str());
            wrong = 1;
        }
    };

    std::vector<double> windowDown, windowUp, cliDown, cliUp, curlDown, curlUp;
    qint64 longestGap = 0;
    for (int round = 0; round < rounds; ++round) {
        // The tools take turns at going first: none always meets a warm or a cold cache.
        auto windowRuns = [&] {
            fs::remove(local.file("down/big.bin"));
            for (int row = 0; row < window.Lumo_listbox3->count(); ++row) {
                window.Lumo_listbox3->item(row)->setSelected(TFHarbrook::RowName(*window.Lumo_listbox3, row) == "big.bin");
            }
            dialogs.folderAnswers.push_back(local.file("down"));
            window.bitmap8Click();
            windowDown.push_back(runWindowTransfer(
                [&] { return window.DownloadQueue->Count() == 0 && TransferRecords().empty(); }, longestGap));
            check(local.file("down/big.bin"));

            fs::remove(server.root() + "/up.bin");
            dialogs.openFilesAnswers.push_back({localUp});
            window.bitmap7Click();
            windowUp.push_back(runWindowTransfer(
                [&] { return window.UploadQueue->Count() == 0 && TransferRecords().empty(); }, longestGap));
            check(server.root() + "/up.bin");
        };
        auto othersRun = [&] {
            fs::remove(local.file("cli.bin"));
            cliDown.push_back(runCommand(cli + login + "'get big.bin " + local.file("cli.bin") + "'"));
            check(local.file("cli.bin"));
            // Each upload makes a new file, as the window's does: replacing one would
            // charge the server's truncation of the last gigabyte to it.
            fs::remove(server.root() + "/cli-up.bin");
            cliUp.push_back(runCommand(cli + login + "'put " + localUp + " cli-up.bin'"));
            check(server.root() + "/cli-up.bin");
            fs::remove(local.file("curl.bin"));
            curlDown.push_back(
                runCommand("curl -s -k" + curlTls + " -o " + local.file("curl.bin") + " '" + url + "big.bin'"));
            fs::remove(server.root() + "/curl-up.bin");
            curlUp.push_back(runCommand("curl -s -k" + curlTls + " -T " + localUp + " '" + url + "curl-up.bin'"));
        };
        if (round % 2 == 0) {
            windowRuns();
            othersRun();
        } else {
            othersRun();
            windowRuns();
        }
    }
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    auto rate = [](double secs) { return 1024.0 / secs; };
    std::printf("window_transfer_bench: vsftpd, %s, 1 GiB, %d rounds, medians (MiB/s), every copy's SHA-256 %s\n",
                tls ? "explicit TLS with PROT P" : "plain", rounds, wrong ? "WRONG" : "right");
    std::printf("  download  window %7.1f  harbrook-cli %7.1f  curl %7.1f  (window / cli %.2f, window / curl %.2f)\n",
                rate(median(windowDown)), rate(median(cliDown)), rate(median(curlDown)),
                median(cliDown) / median(windowDown), median(curlDown) / median(windowDown));
    std::printf("  upload    window %7.1f  harbrook-cli %7.1f  curl %7.1f  (window / cli %.2f, window / curl %.2f)\n",
                rate(median(windowUp)), rate(median(cliUp)), rate(median(curlUp)), median(cliUp) / median(windowUp),
                median(curlUp) / median(windowUp));
    std::printf("  longest gap between 10 ms GUI timer ticks during the window's transfers: %lld ms\n",
                static_cast<long long>(longestGap));
    std::printf("  peak RSS of the window process: %.1f MiB\n", usage.ru_maxrss / 1024.0);
    window.close();
    return wrong;
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const bool listing = argc > 2 && std::string(argv[1]) == "--list";
    const int listEntries = listing ? std::max(1, std::atoi(argv[2])) : 0;
    const bool tree = argc > 2 && std::string(argv[1]) == "--tree";
    const int treeFiles = tree ? std::max(1, std::atoi(argv[2])) : 0;
    const int rounds = tree && argc > 3 ? std::max(1, std::atoi(argv[3]))
                       : !listing && !tree && argc > 1 ? std::max(1, std::atoi(argv[1]))
                                                       : 3;
    if (const std::string reason = harbrook::testing::VsftpdServer::unavailableReason(); !reason.empty()) {
        std::printf("window_transfer_bench: skipped: %s\n", reason.c_str());
        return 0;
    }
    harbrook::GuardedApplication application(argc, argv);
    harbrook::QtDispatcher dispatcher;
    harbrook::SetGuiDispatcher(&dispatcher);
    harbrook::testing::ScriptedDialogs dialogs;
    harbrook::SetDialogs(&dialogs);

    // Plain logins and data allowed beside TLS: the plain rows are measured on it too.
    harbrook::testing::VsftpdServer server(harbrook::testing::TestCertificate::Trusted,
                                           "force_local_logins_ssl=NO\nforce_local_data_ssl=NO\n");
    harbrook::testing::TempDir local;
    if (listEntries > 0) {
        return listInWindow(server, local, listEntries, dialogs);
    }
    if (treeFiles > 0) {
        return treeInWindow(server, local, treeFiles, rounds, dialogs);
    }
    const std::string remoteBig = server.root() + "/big.bin";
    const std::string localUp = local.file("up.bin");
    // Random bytes, so that every copy's SHA-256 says it is the file (a copy of zeros
    // would hide a block written twice or left out).
    if (std::system(("head -c " + std::to_string(kSize) + " /dev/urandom > " + remoteBig).c_str()) != 0 ||
        std::system(("cp " + remoteBig + " " + localUp).c_str()) != 0) {
        std::fprintf(stderr, "cannot make the 1 GiB file\n");
        return 1;
    }
    struct stat owner {};
    ::stat(server.root().c_str(), &owner);
    [[maybe_unused]] const int ignored = ::chown(remoteBig.c_str(), owner.st_uid, owner.st_gid);
    fs::create_directories(local.file("down"));
    const std::string whole = harbrook::testing::sha256OfFile(localUp);
    int failed = 0;
    // A second argument, "plain" or "tls", measures that one only.
    const std::string only = !listing && !tree && argc > 2 ? argv[2] : "";
    for (const bool tls : {false, true}) {
        if (!only.empty() && only != (tls ? "tls" : "plain")) {
            continue;
        }
        failed |= transfersBeside(server, local, tls, rounds, whole, dialogs);
    }
    harbrook::SetDialogs(nullptr);
    harbrook::SetGuiDispatcher(nullptr);
    return failed;
}
