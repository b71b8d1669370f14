#include "ftp/transport/IdReply.h"

#include <gtest/gtest.h>

#include "ftp/IdException.h"

namespace {

using Lines = std::vector<std::string>;

struct ParseRow {
    const char* label;
    Lines lines;
    std::string code;
    Lines text;
    TIdReplyRFCFormat format;
};

TEST(IdReplyFTP, ParsesReplyLines) {
    const ParseRow rows[] = {
        {"single line", {"550 No such file"}, "550", {"No such file"}, rfNormal},
        {"code on every line",
         {"220-Welcome", "220-second line", "220 ready"},
         "220",
         {"Welcome", "second line", "ready"},
         rfNormal},
        {"middle lines without code",
         {"220-Welcome", "second line", "220 ready"},
         "220",
         {"Welcome", "second line", "ready"},
         rfNormal},
        {"bare code", {"226"}, "226", {""}, rfNormal},
        {"feature list",
         {"211-Features:", "MDTM", "SIZE", "211 End"},
         "211",
         {"Features:", "MDTM", "SIZE", "End"},
         rfNormal},
        {"indented middle lines keep their text without the blanks",
         {"211-Features:", " MDTM", "  SIZE", "211 End"},
         "211",
         {"Features:", "MDTM", "SIZE", "End"},
         rfIndentMidLines},
    };
    for (const ParseRow& row : rows) {
        SCOPED_TRACE(row.label);
        TIdReplyFTP reply;
        reply.ParseLines(row.lines);
        EXPECT_EQ(reply.Code(), row.code);
        EXPECT_EQ(reply.Text(), row.text);
        EXPECT_EQ(reply.ReplyFormat(), row.format);
    }
}

TEST(IdReply, CodeValidity) {
    struct Row {
        const char* code;
        bool valid;
    };
    const Row rows[] = {
        {"", true},   {"100", true},  {"999", true},  {" 250 ", true}, {"99", false},
        {"1000", false}, {"0", false}, {"abc", false}, {"-200", false}, {"1", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        TIdReplyFTP reply;
        reply.Text() = {"old text"};
        if (row.valid) {
            EXPECT_NO_THROW(reply.SetCode(row.code));
            EXPECT_TRUE(reply.Text().empty()) << "setting a code clears the text";
        } else {
            try {
                reply.SetCode(row.code);
                ADD_FAILURE() << "accepted";
            } catch (const EIdException& error) {
                EXPECT_EQ(std::string(error.what()),
                          std::string("Reply Code is not valid: ") + row.code);
            }
        }
    }
}

TEST(IdReply, EndMarkers) {
    struct Row {
        const char* line;
        bool ends;
    };
    const Row rows[] = {
        {"226", true},       {"22", true},          {"220 ready", true}, {"220-Welcome", false},
        {"second line", false}, {"22x", false},     {"2200 x", false},   {"", false},
        {"099 x", true},     {"abc def", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(TIdReply::IsEndMarker(row.line), row.ends);
    }
}

TEST(IdReplyFTP, FormattedForm) {
    struct Row {
        const char* label;
        std::string code;
        Lines text;
        TIdReplyRFCFormat format;
        Lines expected;
    };
    const Row rows[] = {
        {"code alone", "226", {}, rfNormal, {"226"}},
        {"one line", "220", {"ready"}, rfNormal, {"220 ready"}},
        {"several lines",
         "220",
         {"Welcome", "second", "ready"},
         rfNormal,
         {"220-Welcome", "220-second", "220 ready"}},
        {"indented middle lines",
         "211",
         {"Features:", "MDTM", "SIZE", "End"},
         rfIndentMidLines,
         {"211-Features:", " MDTM", " SIZE", "211 End"}},
        {"no code", "", {"just", "text"}, rfNormal, {"just", "text"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        TIdReplyFTP reply;
        reply.SetCode(row.code);
        reply.Text() = row.text;
        reply.SetReplyFormat(row.format);
        EXPECT_EQ(reply.FormattedLines(), row.expected);
    }
}

TEST(IdReply, RefusalCarriesCodeAndTextWithLineBreaks) {
    TIdReplyFTP reply;
    reply.ParseLines({"550-No such file", "550 or folder"});
    try {
        reply.RaiseReplyError();
    } catch (const EIdReplyRFCError& error) {
        EXPECT_EQ(error.ErrorCode(), 550);
        EXPECT_EQ(std::string(error.what()), "No such file\r\nor folder\r\n");
    }
}

TEST(IdReply, WholeIntegerParsing) {
    long long value = 0;
    EXPECT_TRUE(harbrook::parseWholeInteger("226", value));
    EXPECT_EQ(value, 226);
    EXPECT_TRUE(harbrook::parseWholeInteger("-12", value));
    EXPECT_TRUE(harbrook::parseWholeInteger("+12", value));
    EXPECT_FALSE(harbrook::parseWholeInteger("", value));
    EXPECT_FALSE(harbrook::parseWholeInteger("+", value));
    EXPECT_FALSE(harbrook::parseWholeInteger(" 12", value));
    EXPECT_FALSE(harbrook::parseWholeInteger("12 ", value));
    EXPECT_FALSE(harbrook::parseWholeInteger("99999999999999999999999999", value));
}

}  // namespace
