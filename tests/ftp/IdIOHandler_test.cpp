// Line, byte and stream I/O of the handler against a scripted peer on loopback.

#include "ftp/transport/IdIOHandler.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>

#include "ftp/IdException.h"
#include "ftp/transport/ByteQueue.h"
#include "ftp/transport/IdIOHandlerStack.h"
#include "ftp/transport/IdTCPClient.h"
#include "tests/support/NetworkHelpers.h"
#include "tests/support/ScriptedFtpServer.h"

namespace {

using harbrook::TMemoryStream;
using harbrook::testing::ByteSink;
using harbrook::testing::FtpScript;
using harbrook::testing::ScriptedFtpServer;
using Clock = std::chrono::steady_clock;

// A client connected to the server, reads bounded by readTimeout.
struct Connected {
    explicit Connected(std::uint16_t port, int readTimeout = 3000) {
        client.SetHost("127.0.0.1");
        client.SetPort(port);
        client.SetReadTimeout(readTimeout);
        client.Connect();
    }
    TIdIOHandler& io() { return *client.IOHandler(); }
    TIdTCPClient client;
};

long long millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(IdIOHandler, LineEndings) {
    struct Row {
        const char* label;
        std::string wire;
        std::vector<std::string> lines;
    };
    const Row rows[] = {
        {"CR LF", "one\r\ntwo\r\n", {"one", "two"}},
        {"LF alone", "one\ntwo\n", {"one", "two"}},
        {"only the CR before the LF goes", "a\rb\r\r\n", {"a\rb\r"}},
        {"empty lines", "\r\n\nx\r\n", {"", "", "x"}},
        {"bytes above 127 pass unchanged", "caf\xc3\xa9 \xff\r\n", {"caf\xc3\xa9 \xff"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ScriptedFtpServer server(FtpScript().send(row.wire));
        Connected c(server.port());
        for (const std::string& expected : row.lines) {
            EXPECT_EQ(c.io().ReadLine(), expected);
        }
    }
}

TEST(IdIOHandler, LinesSplitAcrossWritesAreJoined) {
    ScriptedFtpServer server(FtpScript()
                                 .sendInPieces({"22", "0 hel", "lo\r", "\nnext\r\n"}, 15)
                                 .sendByteByByte("slow line\r\n"));
    Connected c(server.port());
    EXPECT_EQ(c.io().ReadLine(), "220 hello");
    EXPECT_EQ(c.io().ReadLine(), "next");
    EXPECT_EQ(c.io().ReadLine(), "slow line");
}

TEST(IdIOHandler, OtherTerminators) {
    ScriptedFtpServer server(FtpScript().send("a;b;;c\r\n"));
    Connected c(server.port());
    EXPECT_EQ(c.io().ReadLine(";"), "a");
    EXPECT_EQ(c.io().ReadLine(";"), "b");
    EXPECT_EQ(c.io().ReadLine(";"), "");
    EXPECT_EQ(c.io().ReadLine("\r\n"), "c");
}

TEST(IdIOHandler, MaxLineLength) {
    const std::string longest(16384, 'x');
    ScriptedFtpServer server(FtpScript().send(longest + "\r\n" + longest + "y\r\n"));
    Connected c(server.port());
    EXPECT_EQ(c.io().ReadLine(), longest);
    try {
        c.io().ReadLine();
        FAIL() << "a line of 16385 characters was accepted";
    } catch (const EIdReadLnMaxLineLengthExceeded& error) {
        EXPECT_STREQ(error.what(), "Max line length exceeded.");
    }
}

TEST(IdIOHandler, EndlessLineIsRefusedNotBuffered) {
    ScriptedFtpServer server(FtpScript().sendForever(std::string(4096, 'z')));
    Connected c(server.port());
    EXPECT_THROW(c.io().ReadLine(), EIdReadLnMaxLineLengthExceeded);
    EXPECT_LT(c.io().InputBufferSize(), 16384u + 2u * 32768u);
}

TEST(IdIOHandler, SplitModeCutsLongLines) {
    ScriptedFtpServer server(FtpScript().send("abcdefgh\r\n"));
    Connected c(server.port());
    c.io().SetMaxLineAction(maSplit);
    c.io().SetMaxLineLength(5);
    EXPECT_EQ(c.io().ReadLine(), "abcde");
    EXPECT_TRUE(c.io().ReadLnSplit());
    EXPECT_EQ(c.io().ReadLine(), "fgh");
    EXPECT_FALSE(c.io().ReadLnSplit());
}

TEST(IdIOHandler, QuietConnectionTimesOut) {
    ScriptedFtpServer server(FtpScript().hang());
    Connected c(server.port(), 150);
    const auto start = Clock::now();
    EXPECT_EQ(c.io().ReadLine(), "");
    EXPECT_TRUE(c.io().ReadLnTimedout());
    EXPECT_GE(millisecondsSince(start), 140);
    try {
        c.io().ReadLineWait();
        FAIL() << "no time-out";
    } catch (const EIdReadTimeout& error) {
        EXPECT_STREQ(error.what(), "Read timed out.");
    }
    EXPECT_LT(millisecondsSince(start), 2000);
}

TEST(IdIOHandler, TricklingPeerCannotStretchTheTimeout) {
    FtpScript script;
    for (int i = 0; i < 100; ++i) {
        script.send("x").pause(30);
    }
    ScriptedFtpServer server(script);
    Connected c(server.port(), 200);
    const auto start = Clock::now();
    EXPECT_EQ(c.io().ReadLine(), "");
    EXPECT_TRUE(c.io().ReadLnTimedout());
    EXPECT_LT(millisecondsSince(start), 1500);
}

TEST(IdIOHandler, ReadLineWaitSkipsBlankLines) {
    ScriptedFtpServer server(FtpScript().send("\r\n  \r\n\t\r\n  hello  \r\n"));
    Connected c(server.port());
    EXPECT_EQ(c.io().ReadLineWait(), "hello");
}

TEST(IdIOHandler, ReadLineWaitGivesUpAfterItsAttempts) {
    ScriptedFtpServer server(FtpScript().send("\r\n\r\n\r\nlate\r\n"));
    Connected c(server.port());
    try {
        c.io().ReadLineWait(3);
        FAIL() << "no error";
    } catch (const EIdReadLnWaitMaxAttemptsExceeded& error) {
        EXPECT_STREQ(error.what(), "Max line read attempts exceeded.");
    }
}

TEST(IdIOHandler, ConnectedUntilThePeerHasClosedAndTheBufferIsEmpty) {
    ScriptedFtpServer server(FtpScript().send("220 first\r\n220 second\r\n").close());
    Connected c(server.port());
    EXPECT_EQ(c.io().ReadLine(), "220 first");
    const auto start = Clock::now();
    while (!c.io().ClosedGracefully() && millisecondsSince(start) < 3000) {
        c.io().Readable(50);
        c.client.Connected();
    }
    ASSERT_TRUE(c.io().ClosedGracefully());
    EXPECT_TRUE(c.client.Connected()) << "a line is still buffered";
    EXPECT_EQ(c.io().ReadLine(), "220 second");
    EXPECT_FALSE(c.client.Connected());
    try {
        c.io().ReadLine();
        FAIL() << "read past the close";
    } catch (const EIdConnClosedGracefully& error) {
        EXPECT_STREQ(error.what(), "Connection Closed Gracefully.");
    }
}

TEST(IdIOHandler, ReadStreamOfAKnownCountLeavesTheRestBuffered) {
    std::string payload;
    for (int i = 0; i < 100000; ++i) {
        payload.push_back(static_cast<char>('a' + i % 26));
    }
    ScriptedFtpServer server(FtpScript().send(payload + "tail\r\n"));
    Connected c(server.port());
    c.io().SetRecvBufferSize(4096);
    TMemoryStream stream;
    std::vector<std::int64_t> progress;
    std::int64_t announced = -1;
    bool ended = false;
    c.client.OnWorkBegin = [&](TWorkMode mode, std::int64_t total) {
        EXPECT_EQ(mode, wmRead);
        announced = total;
    };
    c.client.OnWork = [&](TWorkMode, std::int64_t count) { progress.push_back(count); };
    c.client.OnWorkEnd = [&](TWorkMode) { ended = true; };

    c.io().ReadStream(stream, 100000);

    EXPECT_EQ(stream.Bytes(), payload);
    EXPECT_EQ(announced, 100000);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100000);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_TRUE(ended);
    EXPECT_EQ(c.io().ReadLine(), "tail");
}

TEST(IdIOHandler, ReadStreamWithALengthPrefix) {
    struct Row {
        const char* label;
        bool large;
        std::string prefix;
    };
    const Row rows[] = {
        {"4-byte count", false, std::string("\0\0\0\5", 4)},
        {"8-byte count", true, std::string("\0\0\0\0\0\0\0\5", 8)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ScriptedFtpServer server(FtpScript().send(row.prefix + "hello+extra"));
        Connected c(server.port());
        c.io().SetLargeStream(row.large);
        TMemoryStream stream;
        c.io().ReadStream(stream);
        EXPECT_EQ(stream.Bytes(), "hello");
    }
}

TEST(IdIOHandler, ReadStreamUntilDisconnect) {
    const std::string payload(200000, 'q');
    ScriptedFtpServer server(FtpScript().send(payload).pause(20).send("end").close());
    Connected c(server.port());
    TMemoryStream stream;
    c.io().ReadStream(stream, -1, true);
    EXPECT_EQ(stream.Bytes(), payload + "end");
}

TEST(IdIOHandler, ShortReadCutsAPresizedStream) {
    ScriptedFtpServer server(FtpScript().send(std::string(300, 'b')).close());
    Connected c(server.port());
    TMemoryStream stream(std::string("HEAD"));
    stream.SetPosition(4);
    EXPECT_THROW(c.io().ReadStream(stream, 1000), EIdConnClosedGracefully);
    EXPECT_EQ(stream.Bytes(), "HEAD" + std::string(300, 'b'));
}

TEST(IdIOHandler, ReadStreamTimesOutOnASilentPeer) {
    ScriptedFtpServer server(FtpScript().send("12345").hang());
    Connected c(server.port(), 150);
    TMemoryStream stream;
    EXPECT_THROW(c.io().ReadStream(stream, 10), EIdReadTimeout);
    EXPECT_EQ(stream.Bytes(), "12345");
}

TEST(IdIOHandler, WriteStreamSizes) {
    struct Row {
        const char* label;
        std::int64_t startPosition;
        std::int64_t size;
        bool prefix;
        std::string expected;
    };
    const Row rows[] = {
        {"0 sends the whole stream from the start", 4, 0, false, "0123456789"},
        {"-1 sends from the position to the end", 4, -1, false, "456789"},
        {"a count sends that many from the position", 2, 3, false, "234"},
        {"with a length prefix", 0, 0, true, std::string("\0\0\0\x0a", 4) + "0123456789"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ByteSink sink;
        {
            Connected c(sink.port());
            c.io().SetSendBufferSize(3);
            TMemoryStream stream(std::string("0123456789"));
            stream.SetPosition(row.startPosition);
            c.io().WriteStream(stream, row.size, row.prefix);
            c.client.Disconnect();
        }
        EXPECT_EQ(sink.waitForClose(), row.expected);
    }
}

// A stream that claims ten bytes but runs dry after three.
class DryStream : public harbrook::TStream {
public:
    std::int64_t Read(void* buffer, std::int64_t count) override {
        const std::int64_t taken = std::min<std::int64_t>(count, 3 - m_position);
        if (taken <= 0) {
            return 0;
        }
        std::memset(buffer, 'd', static_cast<size_t>(taken));
        m_position += taken;
        return taken;
    }
    void Write(const void*, std::int64_t) override {}
    std::int64_t Size() const override { return 10; }
    void SetSize(std::int64_t) override {}
};

TEST(IdIOHandler, WriteStreamOfADrySource) {
    ByteSink sink;
    Connected c(sink.port());
    DryStream stream;
    try {
        c.io().WriteStream(stream);
        FAIL() << "no error";
    } catch (const EIdNoDataToRead& error) {
        EXPECT_STREQ(error.what(), "No data to read.");
    }
}

TEST(IdIOHandler, WritingToAClosedPeerFails) {
    ScriptedFtpServer server(FtpScript().reset());
    const std::string block(65536, 'w');
    // The reset may even beat the end of the connect; either way it is an error.
    EXPECT_THROW(
        {
            Connected c(server.port());
            for (int i = 0; i < 1000; ++i) {
                c.io().Write(block);
            }
        },
        EIdException);
}

}  // namespace

namespace {

// The received-bytes queue against a plain string doing the same: reads of every size
// into reserved room (only part of it filled), consumption from the front, compaction
// and growth in between, and searches across the joins.
TEST(ByteQueue, KeepsOrderThroughCompactionAndGrowth) {
    harbrook::ByteQueue queue;
    std::string model;
    unsigned seed = 7;
    auto next = [&seed](unsigned below) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % below;
    };
    char letter = 'a';
    for (int step = 0; step < 4000; ++step) {
        if (next(3) != 0) {
            const std::size_t room = 1 + next(70000);
            const std::size_t filled = next(static_cast<unsigned>(room) + 1);
            char* tail = queue.reserveTail(room);
            for (std::size_t i = 0; i < filled; ++i) {
                tail[i] = letter;
                model += letter;
                letter = letter == 'z' ? 'a' : static_cast<char>(letter + 1);
            }
            queue.commit(filled);
        } else if (step % 5 == 0) {
            const std::string appended = "\r\n" + std::to_string(step);
            queue.append(appended.data(), appended.size());
            model += appended;
        } else {
            const std::size_t taken = next(static_cast<unsigned>(model.size()) + 1);
            ASSERT_EQ(queue.take(taken), model.substr(0, taken));
            model.erase(0, taken);
        }
        ASSERT_EQ(queue.size(), model.size());
        ASSERT_EQ(std::string(queue.data(), queue.size()), model);
        ASSERT_EQ(queue.find("\r\n", 0), model.find("\r\n"));
    }
    EXPECT_EQ(queue.find("\r\n", queue.size() + 5), std::string::npos);
    queue.clear();
    EXPECT_TRUE(queue.empty());
}

// Another thread interrupting while the socket is closed (Disconnect during a transfer's
// end): the interrupt must never reach a socket that took the closed one's number since.
// Each round frees a number and at once makes a bystander socket that takes it; an
// interrupt aimed at the old socket would shut the bystander down.
// A handler given sockets made by the test.
class SocketPairHandler : public TIdIOHandlerStack {
public:
    using TIdIOHandlerSocket::AttachSocket;
};

TEST(IdIOHandler, AnInterruptNeverReachesTheNextSocketOfTheSameNumber) {
    SocketPairHandler handler;
    std::atomic<bool> done{false};
    std::thread interrupter([&] {
        while (!done.load(std::memory_order_relaxed)) {
            handler.Interrupt();
            // Not a spin on the lock: a loaded machine (sanitizers, a parallel suite)
            // would starve the closing thread of it for minutes.
            std::this_thread::yield();
        }
    });
    int struck = 0;
    // Bounded in time as well: under a sanitizer on a busy machine fewer rounds run.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(6);
    for (int round = 0; round < 50000 && std::chrono::steady_clock::now() < until; ++round) {
        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
        handler.AttachSocket(harbrook::SocketHandle(pair[0]));
        handler.Close();
        int bystander[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, bystander), 0);
        for (int look = 0; look < 3; ++look) {
            const char byte = 'x';
            if (::send(bystander[0], &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT) != 1) {
                ++struck;
                break;
            }
            std::this_thread::yield();
        }
        ::close(bystander[0]);
        ::close(bystander[1]);
        ::close(pair[1]);
    }
    done = true;
    interrupter.join();
    EXPECT_EQ(struck, 0) << "interrupts that shut an unrelated socket down";
}

}  // namespace
