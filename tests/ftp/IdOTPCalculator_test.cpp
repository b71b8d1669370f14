#include "ftp/client/IdOTPCalculator.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ftp/IdFTPExceptions.h"

#ifndef HARBROOK_TEST_DATA_DIR
#error "HARBROOK_TEST_DATA_DIR must name tests/ftp/data"
#endif

namespace harbrook {
namespace {

std::string hex(const std::array<std::uint8_t, 16>& digest) {
    static const char* digits = "0123456789abcdef";
    std::string text;
    for (std::uint8_t byte : digest) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

TEST(OTP, Md4MatchesItsStandardsTestSuite) {
    const std::pair<std::string, std::string> rows[] = {
        {"", "31d6cfe0d16ae931b73c59d7e0c089c0"},
        {"a", "bde52cb31de33e46245e05fbdbd6fb24"},
        {"abc", "a448017aaf21d8525fc10ae87aa6729d"},
        {"message digest", "d9130a8164549fe818874806e1c7014b"},
        {"abcdefghijklmnopqrstuvwxyz", "d79e1c308aa5bbcdeea8ed63df412da9"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "043f8582f241db351ce627e153e7f0e4"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "e33b4ddc9c38f2199c3e7b164fcc0536"},
    };
    for (const auto& [input, expected] : rows) {
        SCOPED_TRACE(input);
        EXPECT_EQ(hex(md4Digest(input.data(), input.size())), expected);
    }
}

TEST(OTP, EveryPublishedVector) {
    std::ifstream file(std::string(HARBROOK_TEST_DATA_DIR) + "/otp-vectors.tsv");
    ASSERT_TRUE(file) << "otp-vectors.tsv is missing";
    std::string line;
    int checked = 0;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> columns;
        std::stringstream split(line);
        for (std::string column; std::getline(split, column, '\t');) {
            columns.push_back(column);
        }
        ASSERT_EQ(columns.size(), 5u) << line;
        SCOPED_TRACE(line);
        const OtpMethod method = columns[0] == "md4"   ? OtpMethod::Md4
                                 : columns[0] == "md5" ? OtpMethod::Md5
                                                       : OtpMethod::Sha1;
        const OtpChallenge challenge{method, std::stoi(columns[3]), columns[2]};
        EXPECT_EQ(otpResponse(challenge, columns[1]), columns[4]);
        ++checked;
    }
    EXPECT_EQ(checked, 21);
}

TEST(OTP, FindsChallengesInReplyText) {
    struct Row {
        const char* text;
        bool found;
        OtpMethod method;
        int sequence;
        const char* seed;
    };
    const Row rows[] = {
        {"Response to otp-md5 99 seed required for skey.", true, OtpMethod::Md5, 99, "seed"},
        {"otp-md4 1 ke1234 ext", true, OtpMethod::Md4, 1, "ke1234"},
        {"OTP-SHA1 499 Alpha1\r\n", true, OtpMethod::Sha1, 499, "Alpha1"},
        {"Password required for bob.", false, OtpMethod::Md5, 0, ""},
        {"Password required for otp-admin.", false, OtpMethod::Md5, 0, ""},
        {"otp-md5 no number here", false, OtpMethod::Md5, 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const auto challenge = findOtpChallenge(row.text);
        ASSERT_EQ(challenge.has_value(), row.found);
        if (row.found) {
            EXPECT_EQ(challenge->method, row.method);
            EXPECT_EQ(challenge->sequence, row.sequence);
            EXPECT_EQ(challenge->seed, row.seed);
        }
    }
}

TEST(OTP, UnknownMethodIsRefused) {
    try {
        findOtpChallenge("331 otp-md2 99 seed");
        FAIL() << "accepted";
    } catch (const EIdOTPUnknownMethod& error) {
        EXPECT_STREQ(error.what(), "Unknown OTP method");
    }
}

}  // namespace
}  // namespace harbrook
