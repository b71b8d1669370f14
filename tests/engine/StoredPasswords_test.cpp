#include "engine/StoredPasswords.h"

#include <gtest/gtest.h>

#include "tests/support/MemoryPasswords.h"

namespace harbrook::testing {
namespace {

TEST(PasswordKeeper, TheKeyringTakesPasswordsAndTheFileFieldStaysEmpty) {
    MemoryPasswords keyring;
    keyring.entries["connection bar"] = "from keyring";
    TPasswordKeeper keeper(&keyring);
    EXPECT_EQ(keeper.Recall("connection bar", "in file"), "in file") << "an older file's password is read as before";
    EXPECT_TRUE(keyring.requests.empty());
    EXPECT_EQ(keeper.Recall("connection bar", ""), "from keyring");
    EXPECT_EQ(keeper.Keep("connection bar", "from keyring"), "") << "unchanged";
    EXPECT_EQ(keeper.Keep("connection bar", "new"), "");
    EXPECT_EQ(keeper.Keep("connection bar", "new"), "");
    EXPECT_EQ(keeper.Keep("connection bar", ""), "");
    EXPECT_EQ(keyring.requests, (std::vector<std::string>{"read connection bar", "write connection bar",
                                                            "remove connection bar"}));
    EXPECT_EQ(keyring.entries.count("connection bar"), 0u) << "an empty password removes the entry";
    EXPECT_TRUE(keeper.KeyringAnswered());
    EXPECT_FALSE(keeper.TakeNotice());
}

TEST(PasswordKeeper, WithoutAKeyringPasswordsStayInTheFileAndTheUserIsToldOnce) {
    struct Case {
        const char* name;
        bool store;
        bool readFirst;
    };
    for (const Case& c : {Case{"no store at all", false, false}, Case{"keyring absent at the first keep", true, false},
                          Case{"keyring absent already at the read", true, true}}) {
        SCOPED_TRACE(c.name);
        MemoryPasswords keyring;
        keyring.absent = true;
        TPasswordKeeper keeper(c.store ? &keyring : nullptr);
        if (c.readFirst) {
            EXPECT_EQ(keeper.Recall("connection bar", ""), "");
            EXPECT_FALSE(keeper.TakeNotice()) << "nothing had to go to a file yet";
        }
        EXPECT_EQ(keeper.Keep("connection bar", "pw"), "pw");
        EXPECT_EQ(keeper.Keep("site 1", "other"), "other");
        EXPECT_EQ(keeper.Keep("site 2", ""), "");
        EXPECT_LE(keyring.requests.size(), 1u) << "a keyring that failed once is not asked again in the run";
        const std::optional<std::string> notice = keeper.TakeNotice();
        EXPECT_EQ(notice.has_value(), c.store) << "no store was chosen: nothing to tell";
        if (notice) {
            EXPECT_NE(notice->find("No keyring answered (the test keyring is switched off)"), std::string::npos);
            EXPECT_NE(notice->find("readable only by you"), std::string::npos);
        }
        EXPECT_EQ(keeper.Keep("connection bar", "pw2"), "pw2");
        EXPECT_FALSE(keeper.TakeNotice()) << "said once";
        EXPECT_FALSE(keeper.KeyringAnswered());
    }
}

}  // namespace
}  // namespace harbrook::testing
