#include "platform/Stream.h"

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace harbrook {
namespace {

// Both stream kinds must behave alike where transfers rely on them: writing past the
// end grows, SetSize cuts and pulls the position back, reads stop at the end.
void exerciseStream(TStream& stream) {
    stream.Write("hello world", 11);
    EXPECT_EQ(stream.Size(), 11);
    EXPECT_EQ(stream.Position(), 11);

    stream.SetPosition(6);
    char buffer[16] = {};
    EXPECT_EQ(stream.Read(buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer, 5), "world");
    EXPECT_EQ(stream.Read(buffer, sizeof buffer), 0);

    stream.SetSize(5);
    EXPECT_EQ(stream.Size(), 5);
    EXPECT_EQ(stream.Position(), 5);

    stream.SetSize(20);
    stream.SetPosition(0);
    EXPECT_EQ(stream.Read(buffer, 7), 7);
    EXPECT_EQ(std::string(buffer, 7), std::string("hello\0\0", 7));
}

TEST(Stream, MemoryStream) {
    TMemoryStream stream;
    exerciseStream(stream);
}

TEST(Stream, FileStream) {
    testing::TempDir dir;
    TFileStream stream(dir.file("data.bin"), FileOpenMode::Create);
    exerciseStream(stream);
}

TEST(Stream, OpeningAMissingFileSaysWhich) {
    testing::TempDir dir;
    try {
        TFileStream stream(dir.file("missing.bin"), FileOpenMode::OpenRead);
        FAIL() << "opened a missing file";
    } catch (const EStreamError& error) {
        EXPECT_NE(std::string(error.what()).find("missing.bin"), std::string::npos);
    }
}

}  // namespace
}  // namespace harbrook
