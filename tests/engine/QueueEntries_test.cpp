#include "engine/QueueEntries.h"

#include <gtest/gtest.h>

namespace {

TEST(QueueEntries, NamesWithSeparatorsTravelWhole) {
    const struct {
        std::string name;
        std::string value;
        std::string written;
    } rows[] = {
        {"/home/u/a.txt", "/pub", "/home/u/a.txt=/pub"},
        {"/home/u/x=y.txt", "/pub", "/home/u/x%3Dy.txt=/pub"},
        {"/home/u/100%.txt", "/p=q", "/home/u/100%25.txt=/p=q"},
        {"/home/u/%3D.txt", "/", "/home/u/%253D.txt=/"},
        {"", "", "="},
        // Escapes at the very end of the name, and a name that is nothing but one.
        {"/home/u/ends with=", "/pub", "/home/u/ends with%3D=/pub"},
        {"/home/u/ends with%", "/pub", "/home/u/ends with%25=/pub"},
        {"=", "/", "%3D=/"},
        {"%", "", "%25="},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.written);
        EXPECT_EQ(MakeQueueEntry(row.name, row.value), row.written);
        const QueueEntry back = SplitQueueEntry(row.written);
        EXPECT_EQ(back.name, row.name);
        EXPECT_EQ(back.value, row.value);
    }
}

TEST(QueueEntries, OlderAndOddEntries) {
    // Entries without escapes read as before; a lone "%" stays; no "=" means no value.
    EXPECT_EQ(SplitQueueEntry("/a/b=/c").name, "/a/b");
    EXPECT_EQ(SplitQueueEntry("50%off=/x").name, "50%off");
    EXPECT_EQ(SplitQueueEntry("a%3db=v").name, "a=b");
    EXPECT_EQ(SplitQueueEntry("end%=v").name, "end%");
    EXPECT_EQ(SplitQueueEntry("novalue").name, "novalue");
    EXPECT_EQ(SplitQueueEntry("novalue").value, "");
}

TEST(QueueEntries, DownloadAndUploadForms) {
    EXPECT_EQ(DownloadQueueEntry("/pub", "linux", true, "/home/u"), "/pub/linux/=/home/u");
    EXPECT_EQ(DownloadQueueEntry("/", "a=b.txt", false, "/home/u"), "/a%3Db.txt=/home/u");
    EXPECT_EQ(UploadQueueEntry("/home/u/f", "/pub"), "/home/u/f=/pub");
}

}  // namespace
