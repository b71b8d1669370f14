#include "platform/SocketErrors.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace harbrook {
namespace {

TEST(SocketErrors, MessagesCarryTheNumberAndTheListedText) {
    struct Row {
        int error;
        const char* text;
    };
    const Row rows[] = {
        {ECONNREFUSED, "Connection refused."},
        {ETIMEDOUT, "Connection timed out."},
        {ECONNRESET, "Connection reset by peer."},
        {ECONNABORTED, "Software caused connection abort."},
        {ENETRESET, "Net dropped connection or reset."},
        {kHostNotFoundError, "Host not found."},
        {ENETUNREACH, "Network is unreachable."},
        {EADDRINUSE, "Address already in use."},
        {ENOTCONN, "Socket is not connected."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(socketErrorMessage(row.error),
                  "Socket Error # " + std::to_string(row.error) + "\r\n" + row.text);
    }
}

TEST(SocketErrors, UnlistedNumbersStillGetAText) {
    EXPECT_FALSE(socketErrorText(ENOSPC).empty());
}

}  // namespace
}  // namespace harbrook
