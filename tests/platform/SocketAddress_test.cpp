// How both front ends choose the address family of a host.

#include "platform/SocketAddress.h"

#include <gtest/gtest.h>

namespace harbrook {
namespace {

TEST(SocketAddress, HostsChooseTheirAddressFamily) {
    const struct {
        std::string given;
        std::string host;
        int family;
    } rows[] = {
        {"::1", "::1", AF_INET6},
        {"[::1]", "::1", AF_INET6},
        {"[fe80::1%lo]", "fe80::1%lo", AF_INET6},
        {"127.0.0.1", "127.0.0.1", AF_INET},
        {"localhost", "localhost", AF_INET},
        {"no-such-host.invalid", "no-such-host.invalid", AF_INET},
        {"[]", "[]", AF_INET},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.given);
        const HostChoice choice = ChooseHostFamily(row.given);
        EXPECT_EQ(choice.host, row.host);
        EXPECT_EQ(choice.family, row.family);
    }
}

}  // namespace
}  // namespace harbrook
