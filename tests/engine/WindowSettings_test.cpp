// The main window's INI keys: names, defaults, odd values, and a round trip.

#include "engine/WindowSettings.h"

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace harbrook::testing {
namespace {

TEST(WindowSettings, DefaultsAndOddValues) {
    TempDir dir;
    writeFile(dir.file("Harbrook.ini"),
              "[MAIN]\nleft=abc\ntop=-20\nheight=300\n height=50\nwidth=90000\nHOST=h.example\n"
              "h1s0=-4\nh1s1=0\nh2s4=120\n");
    const WindowSettings settings = ReadWindowSettings(ProfileFile(dir.file("Harbrook.ini")));
    EXPECT_EQ(settings.left, 0) << "not a number: the default";
    EXPECT_EQ(settings.top, -20) << "a window may start above the screen's edge";
    EXPECT_EQ(settings.height, 722) << "50 makes a window nobody finds; the key is \" height\"";
    EXPECT_EQ(settings.width, 90000);
    EXPECT_EQ(settings.host, "h.example") << "section and key names without case";
    EXPECT_EQ(settings.user, "anonymous");
    EXPECT_EQ(settings.pass, "Visitor1");
    EXPECT_EQ(settings.remoteHeader, (std::array<int, 3>{200, 0, 100})) << "a hidden column stays hidden";
    EXPECT_EQ(settings.transferHeader[4], 120);
}

TEST(WindowSettings, RoundTrip) {
    TempDir dir;
    WindowSettings settings;
    settings.left = 30;
    settings.height = 650;
    settings.pass = "s\xc3\xa9" "cret";
    settings.lastDownload = "/home/me/in=out";
    settings.transferHeader[3] = 70;
    ProfileFile ini(dir.file("Harbrook.ini"));
    WriteWindowSettings(ini, settings);
    ASSERT_TRUE(ini.Save());
    const std::string text = readFile(dir.file("Harbrook.ini"));
    EXPECT_EQ(text.rfind("[main]\nleft=30\ntop=0\nwidth=751\n height=650\nhost=localhost\n", 0), 0u) << text;
    const WindowSettings again = ReadWindowSettings(ProfileFile(dir.file("Harbrook.ini")));
    EXPECT_EQ(again.pass, settings.pass);
    EXPECT_EQ(again.lastDownload, settings.lastDownload);
    EXPECT_EQ(again.transferHeader, settings.transferHeader);
}

}  // namespace
}  // namespace harbrook::testing
