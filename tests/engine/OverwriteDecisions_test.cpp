#include "engine/OverwriteDecisions.h"

#include <gtest/gtest.h>

#include <set>

namespace harbrook::testing {
namespace {

TEST(OverwriteDecisions, NumberedNames) {
    const std::pair<const char*, const char*> rows[] = {
        {"report.pdf", "report (2).pdf"}, {"archive.tar.gz", "archive.tar (2).gz"},
        {"Makefile", "Makefile (2)"},     {".profile", ".profile (2)"},
        {"a.b.", "a.b (2)."},             {"", " (2)"},
    };
    for (const auto& [name, numbered] : rows) {
        EXPECT_EQ(NumberedName(name, 2), numbered) << name;
    }
    const std::set<std::string> taken = {"x (1).txt", "x (2).txt"};
    EXPECT_EQ(FreeName("x.txt", [&](const std::string& name) { return taken.count(name) > 0; }), "x (3).txt");
    EXPECT_THROW(FreeName("x", [](const std::string&) { return true; }), std::exception);
}

TEST(OverwriteDecisions, AnAnswerForTheRestStandsUnlessItCannotApply) {
    std::vector<OverwriteAnswer> answers = {{OverwriteChoice::Resume, true},
                                            {OverwriteChoice::Overwrite, false},
                                            {OverwriteChoice::Resume, false}};
    int asked = 0;
    TOverwriteDecider decider([&](const OverwriteQuestion&) { return answers.at(asked++); });
    EXPECT_EQ(decider.Decide({"a", true}), OverwriteChoice::Resume);
    EXPECT_EQ(decider.Decide({"b", true}), OverwriteChoice::Resume);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(decider.Decide({"c", false}), OverwriteChoice::Overwrite) << "no resume here: asked again";
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(decider.Decide({"d", false}), OverwriteChoice::Skip) << "a resume not offered leaves the file";
    EXPECT_EQ(decider.Decide({"e", true}), OverwriteChoice::Resume) << "the answer for the rest stands";
    EXPECT_EQ(asked, 3);
}

TEST(OverwriteDecisions, TheQuestionNamesBothSizes) {
    EXPECT_EQ(OverwriteMessage(true, "/home/u/a.bin", 1024, 2048),
              "The local file \"/home/u/a.bin\" already exists (1.00 KB).\nThe remote file has 2.00 KB.");
    EXPECT_EQ(OverwriteMessage(false, "/pub/a.bin", -1, 5),
              "The remote file \"/pub/a.bin\" already exists.\nThe local file has 5 Byte(s).");
}

}  // namespace
}  // namespace harbrook::testing
