#include "engine/SiteList.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/MemoryPasswords.h"
#include "tests/support/TempDir.h"

namespace harbrook::testing {
namespace {

TEST(SiteList, KeepsEveryFieldPrivately) {
    TempDir dir;
    TSiteList list(dir.file("sites.ini"));
    list.Load();
    EXPECT_TRUE(list.Sites().empty()) << "no file: no sites";
    const int work = list.AddNew();
    ASSERT_TRUE(list.Rename(work, "Work [main]"));
    Site site;
    site.host = "ftp.example.org";
    site.port = 2121;
    site.user = "me=you";
    site.password = "p%ss\nword";
    site.encryption = SessionSettings::Tls::Implicit;
    site.passive = false;
    site.remoteFolder = "/pub/100%";
    site.localFolder = "/home/me/in";
    list.Update(work, site);
    EXPECT_EQ(list.Sites()[0].name, "Work [main]") << "Update keeps the name";
    EXPECT_EQ(list.Copy(work), 1);
    EXPECT_EQ(list.Sites()[1].name, "Work [main] (copy)");
    EXPECT_EQ(list.AddNew(), 2);
    EXPECT_EQ(list.AddNew(), 3);
    EXPECT_EQ(list.Sites()[3].name, "New site (2)");
    EXPECT_FALSE(list.Rename(3, "New site")) << "names stay unique";
    EXPECT_FALSE(list.Rename(3, ""));
    list.Remove(2);
    // A new site without a host is not kept: it could not be connected to anyway.
    list.Remove(2);
    ASSERT_TRUE(list.Save());
    struct stat info {};
    ASSERT_EQ(::stat(dir.file("sites.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    TSiteList again(dir.file("sites.ini"));
    again.Load();
    EXPECT_EQ(again.Problems(), 0);
    ASSERT_EQ(again.Sites().size(), 2u);
    const Site& read = again.Sites()[0];
    EXPECT_EQ(read.name, "Work [main]");
    EXPECT_EQ(read.host, "ftp.example.org");
    EXPECT_EQ(read.port, 2121);
    EXPECT_EQ(read.user, "me=you");
    EXPECT_EQ(read.password, "p%ss\nword");
    EXPECT_EQ(read.encryption, SessionSettings::Tls::Implicit);
    EXPECT_FALSE(read.passive);
    EXPECT_EQ(read.remoteFolder, "/pub/100%");
    EXPECT_EQ(read.localFolder, "/home/me/in");
}

TEST(SiteList, DamagedDuplicatedAndHugeFiles) {
    int problems = 0;
    const std::vector<Site> sites = ParseSiteList(
        "[site]\nname=a\nhost=h\n\n[site]\nname=b\nhost=h\nport=99999\n\n[site]\nname=a\nhost=h2\n"
        "[site]\nhost=nameless\nstray line\n[site]\nname=c\nhost=h\nencryption=rot13\n[site]\nname=d\nhost=h\nfuture=1\n",
        problems);
    EXPECT_EQ(problems, 3) << "a bad port, a nameless section, an unknown encryption";
    ASSERT_EQ(sites.size(), 3u);
    EXPECT_EQ(sites[2].name, "d") << "keys of a newer version are passed over";

    TempDir dir;
    std::string text;
    for (int i = 0; i < 10000; ++i) {
        text += "[site]\nname=same\nhost=h" + std::to_string(i) + "\n";
    }
    {
        std::FILE* file = std::fopen(dir.file("sites.ini").c_str(), "w");
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    TSiteList list(dir.file("sites.ini"));
    list.Load();
    ASSERT_EQ(list.Sites().size(), 10000u);
    EXPECT_EQ(list.Sites()[1].name, "same (2)");
    EXPECT_EQ(list.Find("same (10000)"), 9999);
}

std::string fileText(const std::string& path) {
    std::string text;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
            text.append(buffer, got);
        }
        std::fclose(file);
    }
    return text;
}

TEST(SiteList, PasswordsRestInTheKeyringUnderTheSitesLastingId) {
    TempDir dir;
    MemoryPasswords keyring;
    TPasswordKeeper keeper(&keyring);
    TSiteList list(dir.file("sites.ini"), &keeper);
    list.Load();
    const int work = list.AddNew();
    Site site;
    site.host = "ftp.example.org";
    site.password = "s3cret=%";
    list.Update(work, site);
    ASSERT_TRUE(list.Save());
    const std::string id = list.Sites()[0].id;
    ASSERT_EQ(id.size(), 16u);
    EXPECT_EQ(keyring.entries.at("site " + id), "s3cret=%");
    EXPECT_EQ(fileText(dir.file("sites.ini")).find("s3cret"), std::string::npos);
    ASSERT_TRUE(list.Rename(work, "Work"));
    const std::size_t requestsBefore = keyring.requests.size();
    ASSERT_TRUE(list.Save());
    EXPECT_EQ(keyring.requests.size(), requestsBefore) << "an unchanged password is not written again";

    // A second run reads a password only for the site that is shown or connected.
    TPasswordKeeper nextRun(&keyring);
    TSiteList again(dir.file("sites.ini"), &nextRun);
    again.Load();
    ASSERT_EQ(again.Sites().size(), 1u);
    EXPECT_EQ(again.Sites()[0].id, id) << "the id survives the file";
    EXPECT_EQ(again.Sites()[0].password, "") << "not read at load";
    // A save before the password was read must not wipe it from the keyring.
    again.AddNew();
    ASSERT_TRUE(again.Save());
    EXPECT_EQ(keyring.entries.at("site " + id), "s3cret=%");
    EXPECT_EQ(again.Password(0), "s3cret=%");
    const int copy = again.Copy(0);
    ASSERT_TRUE(again.Save());
    EXPECT_NE(again.Sites()[copy].id, id);
    EXPECT_EQ(keyring.entries.at("site " + again.Sites()[copy].id), "s3cret=%") << "a copy has its own entry";
    again.Remove(0);
    ASSERT_TRUE(again.Save());
    EXPECT_EQ(keyring.entries.count("site " + id), 0u) << "a deleted site's password goes with it";
}

TEST(SiteList, AFileWithPasswordsMovesThemToTheKeyringOrKeepsThemWhenNoneAnswers) {
    for (const bool absent : {false, true}) {
        SCOPED_TRACE(absent ? "no keyring" : "keyring");
        TempDir dir;
        {
            std::FILE* file = std::fopen(dir.file("sites.ini").c_str(), "w");
            // One from before ids; two with the same id, as a hand-copied section has.
            std::fputs("[site]\nname=old\nhost=h\npass=old=p%25w\n[site]\nid=1\nname=a\nhost=h\n"
                       "[site]\nid=1\nname=b\nhost=h\n", file);
            std::fclose(file);
        }
        MemoryPasswords keyring;
        keyring.absent = absent;
        TPasswordKeeper keeper(&keyring);
        TSiteList list(dir.file("sites.ini"), &keeper);
        list.Load();
        ASSERT_EQ(list.Sites().size(), 3u);
        EXPECT_EQ(list.Password(0), "old=p%w") << "a password in the file is read as before";
        EXPECT_FALSE(list.Sites()[0].id.empty());
        EXPECT_NE(list.Sites()[1].id, list.Sites()[2].id) << "ids stay unique";
        ASSERT_TRUE(list.Save());
        const std::string text = fileText(dir.file("sites.ini"));
        EXPECT_EQ(text.find("old=p%25w") != std::string::npos, absent);
        EXPECT_EQ(keyring.entries.count("site " + list.Sites()[0].id), absent ? 0u : 1u);
        const std::optional<std::string> notice = keeper.TakeNotice();
        EXPECT_EQ(notice.has_value(), absent);
        if (notice) {
            EXPECT_NE(notice->find("the test keyring is switched off"), std::string::npos) << *notice;
            EXPECT_FALSE(keeper.TakeNotice()) << "said once";
        }
    }
}

}  // namespace
}  // namespace harbrook::testing
