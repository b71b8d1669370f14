#include "engine/SiteList.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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

}  // namespace
}  // namespace harbrook::testing
