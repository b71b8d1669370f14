// Listing parsers: the layouts' own edge cases, the registry, and hostile input.

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include "ftp/IdFTPExceptions.h"
#include "ftp/listing/IdFTPListParsers.h"

namespace harbrook::testing {
namespace {

using Lines = std::vector<std::string>;

// A fixed "now": 15 June 2026, 12:00, with the usual two-digit-year window.
class FixedClock {
public:
    explicit FixedClock(int year = 2026, int month = 6, int day = 15,
                        int window = kDefaultTwoDigitYearWindow) {
        ListingClock clock;
        clock.now = {year, month, day, 12, 0, 0, 0};
        clock.twoDigitYearWindow = window;
        setListingClock(clock);
    }
    ~FixedClock() { setListingClock(std::nullopt); }
};

struct Parsed {
    std::string layout;
    TIdFTPListItems items;
};

Parsed detect(const Lines& lines, bool detailed = true, const std::string& syst = "") {
    Parsed parsed;
    DefaultListParsers().CheckAndParseListing(lines, parsed.items, detailed, syst, parsed.layout);
    return parsed;
}

std::string when(const TIdFTPListItem& item) {
    if (!item.ModifiedAvail) {
        return "-";
    }
    const DateTimeParts p = decodeDateTime(item.ModifiedDate);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.year, p.month, p.day,
                  p.hour, p.minute, p.second, p.millisecond);
    return text;
}

struct EntryRow {
    const char* label;
    Lines lines;
    std::string layout;
    TIdDirItemType type;
    std::int64_t size;  // -1: no size available
    std::string name;
    std::string modified;
};

TEST(ListParsers, SingleEntries) {
    FixedClock clock;
    const EntryRow rows[] = {
        {"directory with a time, date after today -> last year",
         {"drwxr-xr-x   2 user group 4096 Dec 31 23:59 docs"}, "Unix", ditDirectory, 4096, "docs",
         "2025-12-31 23:59:00.999"},
        {"file with a year", {"-rw-r--r--   1 user group 1048576 Mar  5  2007 archive.zip"},
         "Unix", ditFile, 1048576, "archive.zip", "2007-03-05 00:00:00.999"},
        {"link to a directory", {"lrwxrwxrwx 1 root root 7 Jan  1 12:00 lib -> usr/lib/"}, "Unix",
         ditSymbolicLinkDir, 7, "lib", "2026-01-01 12:00:00.999"},
        {"inode and block columns", {"12345 8 -rw-r--r-- 1 u g 10 Jan  1 2000 a"}, "Unix", ditFile,
         10, "a", "2000-01-01 00:00:00.999"},
        {"no owner and group", {"-rw-r--r-- 1 5 Jan 1 2000 a"}, "Unix", ditFile, 5, "a",
         "2000-01-01 00:00:00.999"},
        {"seconds and a year after the time", {"-rw-r--r-- 1 u g 3 Dec 31 23:59:58 2007 x"}, "Unix",
         ditFile, 3, "x", "2007-12-31 23:59:58.999"},
        {"device numbers are no size", {"crw-rw-rw-   1 root tty 5,   0 Jan  1 2020 tty"}, "Unix",
         ditCharDev, -1, "tty", "2020-01-01 00:00:00.999"},
        {"ls -F marks", {"-rwxr-xr-x 1 u g 18 Jan  1 2020 run.sh*"}, "Unix", ditFile, 18, "run.sh",
         "2020-01-01 00:00:00.999"},
        {"impossible date keeps the entry", {"-rw-r--r-- 1 u g 10 Foo  1 2000 odd"}, "Unix", ditFile,
         10, "odd", "-"},
        {"day zero keeps the entry", {"-rw-r--r-- 1 u g 10 Jan  0 2000 zero"}, "Unix", ditFile, 10,
         "zero", "-"},
        {"name with spaces kept exactly", {"-rw-r--r-- 1 u g 1 Jan  1 2000 a  b "}, "Unix", ditFile, 1,
         "a  b ", "2000-01-01 00:00:00.999"},
        {"IIS directory", {"12-31-07  11:59PM       <DIR>          My Folder"}, "Windows NT",
         ditDirectory, -1, "My Folder", "2007-12-31 23:59:00.000"},
        {"IIS file with thousands separator",
         {"01-02-08  09:05AM                1,234 report.txt"}, "Windows NT", ditFile, 1234,
         "report.txt", "2008-01-02 09:05:00.000"},
        {"four-digit year first", {"2008-01-31  12:08AM            5000000000 big.iso"}, "Windows NT",
         ditFile, 5000000000LL, "big.iso", "2008-01-31 00:08:00.000"},
        {"directory name with a leading space",
         {"12-03-96  06:38PM       <DIR>           10 years and under"}, "Windows NT", ditDirectory,
         -1, " 10 years and under", "1996-12-03 18:38:00.000"},
        {"single-spaced DOS columns", {"02-05-2013 09:45AM <DIR> TEST", "01-28-2013 03:54PM 2847 DATA.TXT"},
         "Windows NT", ditDirectory, -1, "TEST", "2013-02-05 09:45:00.000"},
        {"name list", {"a b.txt"}, "NLST", ditFile, -1, "a b.txt", "-"},
    };
    for (const EntryRow& row : rows) {
        SCOPED_TRACE(row.label);
        const Parsed parsed = detect(row.lines, row.layout != "NLST");
        EXPECT_EQ(parsed.layout, row.layout);
        ASSERT_GE(parsed.items.Count(), 1u);
        const TIdFTPListItem& item = parsed.items[0];
        EXPECT_EQ(item.ItemType, row.type);
        EXPECT_EQ(item.SizeAvail ? item.Size : -1, row.size);
        EXPECT_EQ(item.FileName(), row.name);
        EXPECT_EQ(when(item), row.modified);
    }
}

// Layouts written from how those systems list, for want of captured samples: each must be
// detected as itself (ahead of every other layout) and read its first entry right.
TEST(ListParsers, LayoutsWithoutSamples) {
    FixedClock clock;
    struct Row {
        const char* label;
        Lines lines;
        std::string syst;
        std::string layout;
        std::size_t count;
        TIdDirItemType type;
        std::int64_t size;  // -1: no size available
        std::string name;
        std::string modified;
        std::string folder = {};  // an entry that must come out as a folder
    };
    const std::string pad12(12, ' ');
    const Row rows[] = {
        {"WinQVT/NET fixed columns",
         {"AUTOEXEC.BAT        734" + pad12 + "05-10-1996 09:30",
          "DOS               <DIR>" + pad12 + "01-02-1996 14:05"},
         "", "WinQVT/NET", 2, ditFile, 734, "AUTOEXEC.BAT", "1996-05-10 09:30:00.000", "DOS"},
        {"TOPS-20 folder header and generations",
         {"PS:<ANONYMOUS>", " README.TXT.1", " SUBDIR.DIRECTORY.1", " FTP.EXE.12"}, "", "TOPS20", 3,
         ditFile, -1, "README.TXT", "-", "SUBDIR"},
        {"TOPS-20 told by the system", {"MAIL.TXT.3"}, "TOPS20 TOPS-20 Monitor 7(21733)", "TOPS20", 1,
         ditFile, -1, "MAIL.TXT", "-"},
        {"PC-NFSD 8.3 columns and a/p times",
         {"README   TXT      1024  3-07-95  12:10p", "SUBDIR        <DIR>    3-07-95   9:05a",
          "        2 file(s)       1024 bytes"},
         "", "PC-NFSD", 2, ditFile, 1024, "README.TXT", "1995-03-07 12:10:00.000", "SUBDIR"},
        {"NCSA Mac names", {"System Folder/", "ReadMe"}, "MAC NCSA", "NCSA for MACOS", 2, ditDirectory,
         -1, "System Folder", "-"},
        {"NCSA for MS-DOS with its footer",
         {"AUTOEXEC.BAT        734   5-10-96  9:30", "DOS               <DIR>   1-02-96 14:05",
          "        2 Files        734 Bytes    1234567 Available"},
         "", "NCSA for MS-DOS (CU/TCP)", 2, ditFile, 734, "AUTOEXEC.BAT", "1996-05-10 09:30:00.000", "DOS"},
        {"KA9Q NOS", {"readme.txt          1,024  09:14  2/24/94", "bin/                15:03  3/12/95",
                      "2 files. 1,234,567 bytes free"},
         "", "KA9Q", 2, ditFile, 1024, "readme.txt", "1994-02-24 09:14:00.000", "bin"},
        {"KA9Q folder", {"bin/                15:03  3/12/95", "1 file."}, "", "KA9Q", 1, ditDirectory, -1,
         "bin", "1995-03-12 15:03:00.000"},
        {"Cisco IOS names", {"flash/", "c2500-js-l.112-8.bin"}, "Cisco IOS Software, C2500", "Cisco IOS", 2,
         ditDirectory, -1, "flash", "-"},
        {"Chameleon/Newt", {"DESIGN1.DOC          11264      May 11 1995 14:20   A",
                            "CMT             <DIR>           Nov 21 1994 10:17"},
         "", "NetManage Chameleon/Newt", 2, ditFile, 11264, "DESIGN1.DOC", "1995-05-11 14:20:00.000", "CMT"},
        {"Xecom Micro RTOS header and footer",
         {" Start     End    length  File name", " 00000000 0000FFFF  65536 BOOT.BIN",
          " 00010000 0001003F     64 CONFIG.DAT", " Total 2 files, 65600 bytes"},
         "", "Xercom Micro RTOS", 2, ditFile, 65536, "BOOT.BIN", "-"},
        {"WfFTP volume and directory headers, byte footers",
         {" Volume - drive C: is MS-DOS_6", " Directory of C:\\", "AUTOEXEC.BAT     734  5-10-96   9:30",
          "DOS         <DIR>     1-02-96  14:05", "       1,234 bytes - Total size",
          "   1,234,567 bytes - Contiguous free space", "   1,234,567 bytes - Available free space"},
         "", "WfFTP", 2, ditFile, 734, "AUTOEXEC.BAT", "1996-05-10 09:30:00.000", "DOS"},
        {"TSX+ footer", {"TSX.SAV       123  12-Jun-95", "BASIC.SAV      42   3-Jan-94",
                         " Directory [ DK:/*.* ]   Files: 2   Block: 165"},
         "", "TSX+", 2, ditFile, -1, "TSX.SAV", "1995-06-12 00:00:00.000"},
        {"MUSIC/SP header, kilobyte sizes, written date",
         {"File name                RlenRf  Size   Read     Write    By       Attrbs  #Recs",
          "PROFILE                  80FC      1K   02/11/96 05/21/96  LIB      1       25",
          "LETTERS\\                  0       0K   02/11/96 02/11/96  LIB      0        0"},
         "", "MUSIC/SP", 2, ditFile, -1, "PROFILE", "1996-05-21 00:00:00.000", "LETTERS"},
        {"MPE/iX account and group header",
         {"ACCOUNT=  SYS         GROUP=  PUB", "",
          "FILENAME  CODE  ------------LOGICAL RECORD-----------  ----SPACE----",
          "                  SIZE  TYP        EOF      LIMIT R/B  SECTORS #X MX", "",
          "CATALOG        128W  FB         312       312  1      88  1  1",
          "LOGFILE        256B  VA        1023      1023  1     144  1  8"},
         "", "MPE/iX:  Without POSIX Names", 2, ditFile, -1, "CATALOG", "-"},
        {"VSE library of sublibraries", {"PRD2         <Sub Library>", "USER1        <Sub Library>"}, "",
         "VSE:  Library", 2, ditDirectory, -1, "PRD2", "-"},
        {"VSE POWER queue", {"PAYROLL.01234.00    12    1    0    3  D  A", "BACKUP.00077.00  40  2  0  1  K"},
         "", "VSE:  PowerQueue", 2, ditFile, -1, "PAYROLL.01234.00", "-"},
        {"VSE root", {"PRD1        <Library>", "VTOC        <VSE VTOC>", "MY.ESDS     Entry Seq VSAM"}, "",
         "VSE:  Root Directory", 3, ditDirectory, -1, "PRD1", "-", "VTOC"},
        {"VSE sublibrary members",
         {"$$BOOT    PHASE      12  01/13/99  10:22:14  F", "README    Z          40  02/01/99  08:00:00  S"},
         "", "VSE:  Sublibrary", 2, ditFile, -1, "$$BOOT.PHASE", "1999-01-13 10:22:14.000"},
        {"VSE VSAM catalog", {"PAYROLL.MASTER.KSDS   K   01/13/99", "PAYROLL.LOG.ESDS      E   01/14/99"}, "",
         "VSE:  VSAM Catalog", 2, ditFile, -1, "PAYROLL.MASTER.KSDS", "1999-01-13 00:00:00.000"},
        {"VSE VTOC", {"VSE.DUMP.LIBRARY   S   01/13/99"}, "", "VSE:  VTOC", 1, ditFile, -1, "VSE.DUMP.LIBRARY",
         "1999-01-13 00:00:00.000"},
        {"VM reader, date without a year",
         {"0113 TCPMAINT 00000026 PUN A PROFILE  EXEC     02/11 09:14:33"}, "", "VM Virtual Reader", 1,
         ditFile, -1, "0113", "2026-02-11 09:14:33.000"},
        {"VM Byte File System, quoted names with spaces",
         {"09/04/02 10:03:25 F  1    1234 ROB  SYS 'read me.txt'",
          "09/04/02 10:05:00 D  2    -    ROB  SYS 'subdir'"},
         "", "VM/BFS", 2, ditFile, 1234, "read me.txt", "2002-09-04 10:03:25.000", "subdir"},
        {"CONNECT:Enterprise $$ markers, date after today -> last year",
         {"QUADTEST      >  QUA1I1      18128       41 Aug 12 13:56",
          "QUADTEST2     >  QUA1I1      18129     1024 Apr  1 2014"},
         "", "CONNECT:Enterprise for UNIX$$", 2, ditFile, 41, "QUADTEST", "2025-08-12 13:56:00.000"},
        {"CONNECT:Enterprise mailboxes",
         {"QUA1I1          3 batches", "PAY2X9          0 batches", "Total number of Mailboxes = 2"}, "",
         "CONNECT:Enterprise for UNIX ROOT", 2, ditDirectory, -1, "QUA1I1", "-"},
        {"Connect:Express for OS/390", {"PAYROLL.DATA     DF 012     1,234  09/04/02 10:03"}, "",
         "Connect:Express for OS/390", 1, ditFile, 1234, "PAYROLL.DATA", "2002-09-04 10:03:00.000"},
        {"Netware PSU, DOS name space",
         {"- [RWCEAFMS] SUPERVISOR     1234  06-25-07  15:10  REPORT.TXT",
          "d [RWCEAFMS] SUPERVISOR      512  06-25-07  15:11  SUBDIR"},
         "", "Novell Netware Print Services for Unix:  DOS Namespace", 2, ditFile, 1234, "REPORT.TXT",
         "2007-06-25 15:10:00.000", "SUBDIR"},
        {"Netware PSU, NFS name space",
         {"- [RWCEAFMS] supervisor    1,234 Jun 25 2007  3:10 PM  report.txt",
          "d [RWCEAFMS] supervisor      512 Jun 25 2007 11:02 AM  sub dir"},
         "", "Novell Netware Print Services for Unix:  NFS Namespace", 2, ditFile, 1234, "report.txt",
         "2007-06-25 15:10:00.000", "sub dir"},
        {"Distinct TCP/IP attributes",
         {"wa----       1523  Aug 21 1998  12:34  README.TXT", "w----d          0  Aug 21 1998  12:35  SUBDIR"},
         "", "Distinct TCP/IP", 2, ditFile, 1523, "README.TXT", "1998-08-21 12:34:00.000", "SUBDIR"},
        {"Bull GCOS 8", {"-  rw-r--  JDOE          1234  09/04/02  10:03  PAYROLL",
                         "d  rwx---  JDOE             0  09/04/02  10:04  REPORTS"},
         "", "Bull GCOS8", 2, ditFile, 1234, "PAYROLL", "2002-09-04 10:03:00.000", "REPORTS"},
        {"Bull GCOS 7", {"-s  1234  09/04/02  10:05  PAYROLL.DATA", "-d     0  09/04/02  10:03  SUBCAT"}, "",
         "Bull GCOS7", 2, ditFile, 1234, "PAYROLL.DATA", "2002-09-04 10:05:00.000", "SUBCAT"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const Parsed parsed = detect(row.lines, true, row.syst);
        EXPECT_EQ(parsed.layout, row.layout);
        ASSERT_EQ(parsed.items.Count(), row.count);
        const TIdFTPListItem& item = parsed.items[0];
        EXPECT_EQ(item.ItemType, row.type);
        EXPECT_EQ(item.SizeAvail ? item.Size : -1, row.size);
        EXPECT_EQ(item.FileName(), row.name);
        EXPECT_EQ(when(item), row.modified);
        if (!row.folder.empty()) {
            bool found = false;
            for (std::size_t i = 0; i < parsed.items.Count(); ++i) {
                found = found || (parsed.items[i].FileName() == row.folder &&
                                  parsed.items[i].ItemType == ditDirectory);
            }
            EXPECT_TRUE(found) << "no folder " << row.folder;
        }
    }
}

TEST(ListParsers, UnixFields) {
    FixedClock clock;
    const Parsed parsed = detect({"12345 8 lrwxrwxrwx 3 owner grp 7 Jan  1 12:00 lib -> usr/lib/"});
    const auto& entry = static_cast<const TIdUnixFTPListItem&>(parsed.items[0]);
    EXPECT_EQ(entry.Inode, 12345);
    EXPECT_EQ(entry.NumberBlocks, 8);
    EXPECT_EQ(entry.PermissionDisplay(), "lrwxrwxrwx");
    EXPECT_EQ(entry.OwnerPermissions(), "rwx");
    EXPECT_EQ(entry.LinkCount, 3);
    EXPECT_EQ(entry.OwnerName(), "owner");
    EXPECT_EQ(entry.GroupName(), "grp");
    EXPECT_EQ(entry.LinkedItemName(), "usr/lib");
}

TEST(ListParsers, DateWithoutAYearDependsOnToday) {
    const Lines line = {"drwxr-xr-x   2 user group 4096 Dec 31 23:59 docs"};
    {
        FixedClock newYearsEve(2026, 12, 31);
        EXPECT_EQ(when(detect(line).items[0]), "2026-12-31 23:59:00.999");
    }
    {
        FixedClock midsummer(2026, 6, 15);
        EXPECT_EQ(when(detect(line).items[0]), "2025-12-31 23:59:00.999");
    }
}

TEST(ListParsers, TwoDigitYearWindow) {
    const Lines line = {"12-31-07  11:59PM       <DIR>          My Folder"};
    for (const auto& [window, year] : std::vector<std::pair<int, std::string>>{
             {0, "2007"}, {7, "2007"}, {50, "2007"}, {5, "1907"}}) {
        // The edge case of the layout: 2007 with a window of 0 or of 7 and above.
        SCOPED_TRACE(window);
        FixedClock clock(2026, 6, 15, window);
        EXPECT_EQ(when(detect(line).items[0]).substr(0, 4), year);
    }
}

TEST(ListParsers, WindowsNtSizeMustSitInItsColumns) {
    FixedClock clock;
    const std::string ok = "01-02-08  09:05AM" + std::string(16, ' ') + "1,234 report.txt";
    const std::string off = "01-02-08  09:05AM" + std::string(15, ' ') + "1,234 report.txt";
    EXPECT_EQ(ok.find("1,234") + 5, 38u) << "the size ends at character 38";
    EXPECT_EQ(off.find("1,234") + 5, 37u);
    EXPECT_TRUE(TIdFTPLPWindowsNT().CheckListing({ok}, "", true));
    EXPECT_FALSE(TIdFTPLPWindowsNT().CheckListing({off}, "", true))
        << "the size text at 20 to 38 holds part of the name";
    const Parsed parsed = detect({ok});
    EXPECT_EQ(parsed.items[0].Size, 1234);
    EXPECT_EQ(parsed.items[0].FileName(), "report.txt");
}

// The folder marker is read at character 25, or two further on when a four-digit year
// pushed the columns right: a two-digit-year line is recognised with <DIR> in either
// place and in no other.
TEST(ListParsers, WindowsNtDirMarkerColumns) {
    FixedClock clock;
    const std::string start = "12-31-07  11:59PM";
    for (std::size_t column = 22; column <= 30; ++column) {
        SCOPED_TRACE(column);
        const std::string line = start + std::string(column - 1 - start.size(), ' ') + "<DIR>          My Folder";
        ASSERT_EQ(line.find("<DIR>") + 1, column);
        const bool expected = column == 25 || column == 27;
        EXPECT_EQ(TIdFTPLPWindowsNT().CheckListing({line}, "", true), expected);
    }
    // The same at the shifted place, as a four-digit year puts it.
    const std::string wide = "12-31-2007  11:59PM       <DIR>          My Folder";
    EXPECT_EQ(wide.find("<DIR>") + 1, 27u);
    EXPECT_TRUE(TIdFTPLPWindowsNT().CheckListing({wide}, "", true));
    EXPECT_EQ(detect({wide}).items[0].ItemType, ditDirectory);
}

// A size is read from characters 20 to 38: it must end there or later (a longer number
// is cut to its first digits, which still read as a number) and must not be preceded by
// anything but blanks from character 20 on.
TEST(ListParsers, WindowsNtSizeColumns) {
    FixedClock clock;
    const std::string start = "01-02-08  09:05AM";
    const struct {
        std::size_t end;
        bool expected;
    } rows[] = {{36, false}, {37, false}, {38, true}, {39, true}, {42, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.end);
        const std::string line = start + std::string(row.end - 5 - start.size(), ' ') + "1,234 report.txt";
        ASSERT_EQ(line.find("1,234") + 5, row.end);
        EXPECT_EQ(TIdFTPLPWindowsNT().CheckListing({line}, "", true), row.expected);
    }
}

TEST(ListParsers, Os2YearsAfter1999InThreeDigits) {
    FixedClock clock;
    const Parsed parsed = detect({"     0           DIR   05-19-100  12:56  local",
                                  "  1024      A          01-02-103  09:05  config.sys"});
    EXPECT_EQ(parsed.layout, "OS/2");
    ASSERT_EQ(parsed.items.Count(), 2u);
    EXPECT_EQ(when(parsed.items[0]), "2000-05-19 12:56:00.000");
    EXPECT_EQ(when(parsed.items[1]), "2003-01-02 09:05:00.000");
    EXPECT_EQ(parsed.items[1].FileName(), "config.sys");
}

TEST(ListParsers, As400MembersWithBlankColumns) {
    FixedClock clock;
    const Parsed parsed = detect({"QSYS           135168 22.06.05 12:04:40 *FILE      AS400.FILE",
                                  "QSYS                                    *MEM       AS400.FILE/AS400.MBR",
                                  "                                        *MEM       AS400.FILE/B.MBR"});
    EXPECT_EQ(parsed.layout, "AS400");
    ASSERT_EQ(parsed.items.Count(), 3u);
    EXPECT_EQ(parsed.items[1].FileName(), "AS400.FILE/AS400.MBR");
    EXPECT_FALSE(parsed.items[1].SizeAvail);
    EXPECT_FALSE(parsed.items[1].ModifiedAvail);
    EXPECT_EQ(parsed.items[2].FileName(), "AS400.FILE/B.MBR");
}

// The Unix line's columns, each read on its own, with "today" passed in.
TEST(ListParsers, UnixColumnReaders) {
    using namespace harbrook::listing::unixline;
    ListingClock clock;
    clock.now = {2026, 6, 15, 12, 0, 0, 0};
    clock.twoDigitYearWindow = kDefaultTwoDigitYearWindow;

    TIdUnixFTPListItem entry;
    std::string_view text = "12345 8 -rw-r--r-- 1 u g 10 Jan  1 2000 a";
    readInodeAndBlocks(text, entry);
    EXPECT_EQ(entry.Inode, 12345);
    EXPECT_EQ(entry.NumberBlocks, 8);
    EXPECT_EQ(readPermissions(text, entry), '-');
    EXPECT_EQ(entry.GroupPermissions(), "r--");

    const struct {
        std::string rest;
        bool mac;
        std::string owner;
        std::string group;
        std::int64_t size;
    } sizes[] = {
        {" 1 user group 4096 Dec 31 23:59 docs", false, "user", "group", 4096},
        {" 1 ftpadmin ftpadmin125435904 Apr  9  2008 big", false, "ftpadmin", "ftpadmin", 125435904},
        {" 1 owner my group 500 Mar 1 2003 x", false, "owner", "my group", 500},
        {" folder 0 Mar 1 2003 x", true, "", "", 0},
    };
    for (const auto& row : sizes) {
        SCOPED_TRACE(row.rest);
        TIdUnixFTPListItem item;
        std::string_view rest = row.rest;
        EXPECT_EQ(readLinksOwnerGroup(rest, item, "-rw-r--r--" + row.rest), row.mac);
        readSize(rest, item, false, row.mac);
        EXPECT_EQ(item.OwnerName(), row.owner);
        EXPECT_EQ(item.GroupName(), row.group);
        EXPECT_EQ(item.Size, row.size);
    }

    const struct {
        std::string rest;
        int year, month, day, hour, minute;
        std::string left;
    } dates[] = {
        {" Dec 31 23:59 docs", 2025, 12, 31, 23, 59, " docs"},
        {" Jun 14 08:00 docs", 2026, 6, 14, 8, 0, " docs"},
        {" Mar  1 2003  .welcome", 2003, 3, 1, 0, 0, " .welcome"},
        {" Mar 18  2007  spaced", 2007, 3, 18, 0, 0, "  spaced"},
        {" 2007-12-31 23:59 iso", 2007, 12, 31, 23, 59, " iso"},
        {" 31-12-2007 10:00 dmy", 2007, 12, 31, 10, 0, " dmy"},
        {" Dec 31 23:59:59 2007 full", 2007, 12, 31, 23, 59, " full"},
    };
    for (const auto& row : dates) {
        SCOPED_TRACE(row.rest);
        When when = startingFrom(clock);
        std::string_view rest = row.rest;
        readDate(rest, when);
        readYearOrTime(rest, when, clock);
        EXPECT_EQ(when.year, row.year);
        EXPECT_EQ(when.month, row.month);
        EXPECT_EQ(when.day, row.day);
        EXPECT_EQ(when.hour, row.hour);
        EXPECT_EQ(when.minute, row.minute);
        EXPECT_EQ(rest, row.left);
    }
    EXPECT_EQ(itemTypeFor('L'), ditSymbolicLink);
    TIdUnixFTPListItem link;
    link.ItemType = ditSymbolicLink;
    setName(link, "lib -> usr/lib/", "");
    EXPECT_EQ(link.FileName(), "lib");
    EXPECT_EQ(link.LinkedItemName(), "usr/lib");
    EXPECT_EQ(link.ItemType, ditSymbolicLinkDir);
}

// "Today" passed into a parse belongs to that parse: two threads parsing at once with
// different days each get their own year for "Dec 31 23:59".
TEST(ListParsers, NowIsPassedIntoAParse) {
    const TIdListingLines lines = {"-rw-r--r-- 1 u g 1 Dec 31 23:59 f"};
    auto yearOn = [&](int year) {
        ListingClock clock;
        clock.now = {year, 6, 15, 12, 0, 0, 0};
        TIdFTPListItems items;
        std::string layout;
        int found = 0;
        for (int round = 0; round < 200; ++round) {
            DefaultListParsers().CheckAndParseListing(lines, items, true, "", layout, nullptr, clock);
            found = harbrook::decodeDateTime(items[0].ModifiedDate).year;
            if (found != year - 1) {
                break;
            }
        }
        return found;
    };
    int first = 0;
    int second = 0;
    std::thread a([&] { first = yearOn(2030); });
    std::thread b([&] { second = yearOn(2010); });
    a.join();
    b.join();
    EXPECT_EQ(first, 2029);
    EXPECT_EQ(second, 2009);
}

TEST(ListParsers, RecognitionOrder) {
    FixedClock clock;
    const Lines nt = {"12-31-07  11:59PM       <DIR>          My Folder",
                      "01-02-08  09:05AM                1,234 report.txt"};
    const Lines unix = {"total 8", "drwxr-xr-x   2 user group 4096 Dec 31 23:59 docs",
                        "-rw-r--r--   1 user group 10 Jan  1 2000 12-31-07"};
    EXPECT_EQ(detect(nt).layout, "Windows NT");
    EXPECT_TRUE(TIdFTPLPUnix().CheckListing(unix, "", true));
    EXPECT_FALSE(TIdFTPLPWindowsNT().CheckListing(unix, "", true));
    EXPECT_EQ(detect(unix).layout, "Unix");
    EXPECT_EQ(detect(unix).items.Count(), 2u);

    const Lines totals = {"total 0", "", "TOTAL 12"};
    const Parsed empty = detect(totals);
    EXPECT_EQ(empty.layout, "");
    EXPECT_EQ(empty.items.Count(), 0u);

    const Lines unitree = {"-rw-r--r-- 1 u g AR fam1 100 Jan  1 2000 a"};
    const Parsed tree = detect(unitree);
    EXPECT_EQ(tree.layout, "Unitree");
    ASSERT_EQ(tree.items.Count(), 1u);
    const auto& entry = static_cast<const TIdUnitreeFTPListItem&>(tree.items[0]);
    EXPECT_EQ(entry.Size, 100);
    EXPECT_TRUE(entry.Migrated);
    EXPECT_EQ(entry.FileFamily, "fam1");
    EXPECT_FALSE(TIdFTPLPUnix().CheckListing(unitree, "", true));
}

TEST(ListParsers, RecursiveListingsCarryTheirFolder) {
    FixedClock clock;
    const Parsed unix = detect({".:", "-rw-r--r-- 1 u g 1 Jan  1 2000 top", "", "./docs:",
                                "-rw-r--r-- 1 u g 2 Jan  1 2000 a.txt"});
    ASSERT_EQ(unix.items.Count(), 2u);
    EXPECT_EQ(unix.items[0].FileName(), "top");
    EXPECT_EQ(unix.items[1].FileName(), "docs/a.txt");
    EXPECT_EQ(unix.items[1].LocalFileName(), "a.txt");
    const Parsed nt = detect({"docs:", "01-02-08  09:05AM                 1,234 REPORT.TXT"});
    EXPECT_EQ(nt.items[0].FileName(), "docs\\REPORT.TXT");
    EXPECT_EQ(nt.items[0].LocalFileName(), "REPORT.TXT");
}

// The date columns of a folder's lines mostly repeat, and a parse carries the last ones
// read from line to line: every line must still read as it does alone, whatever line
// came before it (columns that only look the same, a name after two spaces, a year that
// may follow a time with seconds, columns at the line's end).
TEST(ListParsers, AUnixLineReadsAsAloneWhateverLineCameBefore) {
    FixedClock clock;
    const Lines lines = {
        "-rw-r--r--   1 user group 10 Dec 31 23:59 plain",
        "-rw-r--r--   1 user group 10 Dec 31 23:59  leading space",
        "-rw-r--r--   1 user group 10 Dec 31 23:59",
        "-rw-r--r--   1 user group 10 Dec 31 23:59 ",
        "-rw-r--r--   1 user group 10 Dec 31",
        "-rw-r--r--   1 user group 10 Dec 31 later",
        "-rw-r--r--   1 user group 10 Mar  1 2003  .welcome",
        "-rw-r--r--   1 user group 10 Mar  1 2003 x",
        "-rw-r--r--   1 user group 10 Mar 18  2007  spaced",
        "-rw-r--r--   1 user group 10 Mar 18  2007 y",
        "-rw-r--r--   1 user group 10 Dec 31 23:59:59 2007 full",
        "-rw-r--r--   1 user group 10 Dec 31 23:59:59 z",
        "-rw-r--r--   1 user group 10 Dec 31 23:59:59 2008 next year",
        "-rw-r--r--   1 user group 10 Feb 30 12:00 no such day",
        "-rw-r--r--   1 user group 10 Feb 30 12:00 again",
        "-rw-r--r--   1 user group 10 2007-12-31 23:59 iso",
        "-rw-r--r--   1 user group 10 Dec 31 23:59 2007",
        "-rw-r--r--   1 5 Dec 31 23:59 no owner",
        "12345 8 -rw-r--r-- 1 u g 10 Dec 31 23:59 inode",
        "-rw-r--r--   01234owner group 10 Dec 31 23:59 zero links",
        "drwxr-xr-x   folder 0 Dec 31 23:59 mac",
        "crw-rw-rw-   1 root tty 5, 0 Dec 31 23:59 tty",
        "-rw-r--r--   1 user Dec 10 Dec 31 23:59 month group",
        "garbage line",
    };
    const auto fields = [](const TIdFTPListItem& item) {
        const auto& unix = static_cast<const TIdUnixFTPListItem&>(item);
        return std::to_string(item.ItemType) + "|" + std::to_string(item.Size) + "|" +
               std::to_string(item.SizeAvail) + "|" + when(item) + "|" + std::to_string(item.ModifiedDate) + "|" +
               std::string(item.FileName()) + "|" + std::string(item.LocalFileName()) + "|" +
               std::string(item.PermissionDisplay()) + "|" + std::to_string(unix.LinkCount) + "|" +
               std::string(unix.OwnerName()) + "|" + std::string(unix.GroupName()) + "|" +
               std::string(unix.LinkedItemName()) + "|" + std::to_string(unix.Inode);
    };
    const TIdFTPListBase& layout = *DefaultListParsers().Find("Unix");
    std::vector<std::string> alone;
    for (const std::string& line : lines) {
        TIdFTPListItems items;
        DefaultListParsers().ParseListing(Lines{line}, items, "Unix");
        ASSERT_EQ(items.Count(), 1u) << line;
        alone.push_back(fields(items[0]));
    }
    for (std::size_t before = 0; before < lines.size(); ++before) {
        for (std::size_t after = 0; after < lines.size(); ++after) {
            const TIdListingLines pair(Lines{lines[before], lines[after]});
            TIdFTPListItems items;
            items.ReferTo(&pair);
            layout.StartParse(items)->Parse(pair, 0, pair.size());
            ASSERT_EQ(items.Count(), 2u);
            EXPECT_EQ(fields(items[1]), alone[after]) << "\"" << lines[after] << "\" after \"" << lines[before] << "\"";
        }
    }
}

TEST(ListParsers, LocalFileNameRule) {
    TIdFTPListItem item;
    item.SetFileName("README.TXT");
    EXPECT_EQ(item.LocalFileName(), "readme.txt");
    item.SetFileName("Notes.txt");
    EXPECT_EQ(item.LocalFileName(), "Notes.txt") << "followed the old name";
    item.SetLocalFileName("mine.txt");
    item.SetFileName("OTHER");
    EXPECT_EQ(item.LocalFileName(), "mine.txt") << "a chosen local name stays";

    // A local name equal to the remote one is not a choice of its own: it follows.
    TIdFTPListItem same;
    same.SetFileName("a.txt");
    same.SetLocalFileName("a.txt");
    same.SetFileName("b.txt");
    EXPECT_EQ(same.LocalFileName(), "b.txt");
    // Names without letters are their own local names.
    same.SetFileName("2024");
    EXPECT_EQ(same.LocalFileName(), "2024");
    same.SetFileName("MIXED.Txt");
    EXPECT_EQ(same.LocalFileName(), "MIXED.Txt");

    // Names given as views of the entry's own names.
    TIdFTPListItem own;
    own.SetFileName("abc");
    own.SetLocalFileName("ABC");
    own.SetFileName(own.LocalFileName());
    EXPECT_EQ(own.FileName(), "ABC");
    EXPECT_EQ(own.LocalFileName(), "abc");
    own.SetLocalFileName(own.FileName().substr(1));
    EXPECT_EQ(own.LocalFileName(), "BC");
}

// The entries' raw lines live in blocks the listing owns: lines of every length, the
// listing moved to another owner, and a listing cleared and filled again.
TEST(ListParsers, ListingKeepsTheRawLines) {
    std::vector<std::string> lines;
    for (int i = 0; i < 5000; ++i) {
        lines.push_back("-rw-r--r-- 1 u g " + std::to_string(i) + " Jan  1  2000 file" + std::to_string(i));
    }
    lines.push_back("-rw-r--r-- 1 u g 1 Jan  1  2000 " + std::string(40000, 'x'));  // a block of its own
    lines.push_back("-rw-r--r-- 1 u g 2 Jan  1  2000 after-the-long-one");

    TIdFTPListItems items;
    std::string layout;
    DefaultListParsers().CheckAndParseListing(lines, items, true, "", layout);
    ASSERT_EQ(items.Count(), lines.size());
    TIdFTPListItems moved = std::move(items);
    EXPECT_EQ(items.Count(), 0u);
    lines.push_back("ignored");  // the listing's own copies do not depend on the caller's
    for (std::size_t i = 0; i < moved.Count(); ++i) {
        ASSERT_EQ(moved[i].Data, lines[i]) << i;
    }
    EXPECT_EQ(moved[5000].FileName().size(), 40000u);
    EXPECT_EQ(moved[5001].FileName(), "after-the-long-one");

    // The emptied listing takes lines again, and a cleared one too.
    EXPECT_EQ(items.KeepText("again"), "again");
    moved.Clear();
    EXPECT_EQ(moved.Count(), 0u);
    EXPECT_EQ(moved.KeepText(lines[3]), lines[3]);
    EXPECT_TRUE(moved.KeepText("").empty());
}

// A listing's lines are views into one text: they must survive the listing being
// moved (a short text sits inside the string object itself) and copied.
TEST(ListParsers, ListingLinesOutliveMovesAndCopies) {
    for (const std::string& text : {std::string("a\nb"), "-rw-r--r-- 1 u g 1 Jan  1  2000 " + std::string(100, 'n') + "\r\nx"}) {
        TIdListingLines original = TIdListingLines::FromText(text);
        const std::vector<std::string> expected = original.ToStrings();
        TIdListingLines moved = std::move(original);
        TIdListingLines copy = moved;
        moved = TIdListingLines::FromText("other");
        EXPECT_EQ(copy.ToStrings(), expected);
        EXPECT_TRUE(copy.Contains(copy[0]));
        EXPECT_TRUE(copy.Contains(copy[1].substr(1)));
        EXPECT_FALSE(copy.Contains(moved[0]));
        EXPECT_FALSE(copy.Contains(text)) << "the caller's text is not the listing's";
    }
}

const std::string kBrokenTexts[] = {
    "total 2\r\n-rw-r--r-- 1 u g 1 Jan  1  2000 a b\r\n\r\nlast\r\n",
    "one\ntwo\rthree\n\nfour",
    std::string("nul\0inside\r\nx", 13),
    "no break at all",
    "3..\r\n\nu\n",
    "cr\r\rcr\r",
};

// A listing received in blocks reads as the same lines as its whole text, wherever the
// blocks were cut (inside a line, between CR and LF, right after a break), and every line
// lies inside the listing.
TEST(ListParsers, ListingBlocksReadAsTheirWholeText) {
    for (const std::string& text : kBrokenTexts) {
        const std::vector<std::string> whole = TIdListingLines::FromText(text).ToStrings();
        for (std::size_t cut = 0; cut <= text.size(); ++cut) {
            for (std::size_t second = cut; second <= text.size(); ++second) {
                SCOPED_TRACE("cut at " + std::to_string(cut) + " and " + std::to_string(second));
                const TIdListingLines lines = TIdListingLines::FromBlocks(
                    {text.substr(0, cut), text.substr(cut, second - cut), text.substr(second)});
                ASSERT_EQ(lines.ToStrings(), whole);
                for (const std::string_view line : lines) {
                    ASSERT_TRUE(line.empty() || lines.Contains(line));
                }
            }
        }
    }
}

// A listing that grows while it arrives: whatever pieces the data comes in and however
// small the blocks, only what ends at a sure line break joins the lines (a CR at a
// block's end may be half a CR LF), lines once read stay where they are, and the whole
// reads as its text.
TEST(ListParsers, AListingGrowingPieceByPieceReadsAsItsWholeText) {
    for (const std::string& text : kBrokenTexts) {
        const std::vector<std::string> whole = TIdListingLines::FromText(text).ToStrings();
        for (const std::size_t block : {1, 2, 3, 5, 1 << 10}) {
            for (std::size_t cut = 0; cut <= text.size(); ++cut) {
                for (std::size_t second = cut; second <= text.size(); ++second) {
                    SCOPED_TRACE("blocks of " + std::to_string(block) + ", pieces cut at " + std::to_string(cut) +
                                 " and " + std::to_string(second));
                    TIdArrivingListing arriving(block);
                    std::vector<std::string_view> seen;
                    for (const std::string& piece :
                         {text.substr(0, cut), text.substr(cut, second - cut), text.substr(second)}) {
                        const std::size_t before = arriving.Lines().size();
                        const bool joined = arriving.Add(piece.data(), piece.size());
                        ASSERT_EQ(joined, arriving.Lines().size() > before);
                        const TIdListingLines& lines = arriving.Lines();
                        for (std::size_t i = 0; i < seen.size(); ++i) {
                            ASSERT_EQ(lines[i].data(), seen[i].data());
                        }
                        seen.assign(lines.begin(), lines.end());
                        // Only whole lines so far: each is one of the text's.
                        ASSERT_LE(seen.size(), whole.size());
                        for (std::size_t i = 0; i < seen.size(); ++i) {
                            ASSERT_EQ(seen[i], whole[i]);
                        }
                    }
                    const TIdListingLines lines = arriving.Finish();
                    ASSERT_EQ(lines.ToStrings(), whole);
                    for (const std::string_view line : lines) {
                        ASSERT_TRUE(line.empty() || lines.Contains(line));
                    }
                    ASSERT_TRUE(arriving.Lines().empty()) << "empty once finished";
                }
            }
        }
    }
    EXPECT_EQ(TIdListingLines::WholeLinesLength("a\r"), 0u) << "a CR at the end may be half a CR LF";
    EXPECT_EQ(TIdListingLines::WholeLinesLength("a\rb"), 2u);
    EXPECT_EQ(TIdListingLines::WholeLinesLength("a\nb\r"), 2u);
    EXPECT_EQ(TIdListingLines::WholeLinesLength("a\r\n"), 3u);
}

// Entries point into the listing the client keeps instead of copying each line, and
// copy a line that is not one of it.
TEST(ListParsers, EntriesPointIntoTheListingTheyReferTo) {
    const TIdListingLines lines = {"-rw-r--r-- 1 owner grp 10 Jan  1  2000 a.txt",
                                   "lrwxrwxrwx 1 owner grp 7 Jan  1  2000 lib -> usr/lib/"};
    TIdFTPListItems items;
    items.ReferTo(&lines);
    std::string layout;
    DefaultListParsers().CheckAndParseListing(lines, items, true, "", layout);
    ASSERT_EQ(items.Count(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(items[i].Data.data(), lines[i].data()) << i;
    }
    const std::string outside = "-rw-r--r-- 1 u g 1 Jan  1  2000 b";
    EXPECT_NE(items.TextOf(outside).data(), outside.data());
    EXPECT_EQ(items.TextOf(outside), outside);
    const auto& link = static_cast<const TIdUnixFTPListItem&>(items[1]);
    EXPECT_EQ(link.LinkedItemName(), "usr/lib");
    EXPECT_EQ(link.ItemType, ditSymbolicLinkDir);
    EXPECT_EQ(link.OwnerPermissions(), "rwx");
}

// An entry's texts are kept as places in its line where they can be, else as strings
// of its own: a text from elsewhere, one past the first 64 KiB of a long line, one
// taken from another of the entry's own texts, and texts set again and again.
TEST(ListParsers, EntryTextsKeptInTheLineOrAsTheirOwn) {
    TIdFTPListItems items;
    const std::string longLine = "-rw-r--r-- 1 u g 1 Jan  1  2000 " + std::string(70000, 'x') + " tail";
    TIdUnixFTPListItem entry;
    entry.Data = items.KeepText(longLine);
    entry.SetFileName(entry.Data.substr(entry.Data.size() - 4));
    entry.SetOwnerName(entry.Data.substr(13, 1));
    EXPECT_EQ(entry.FileName(), "tail") << "past 64 KiB: a string of its own";
    EXPECT_EQ(entry.OwnerName(), "u");
    {
        std::string built = "my group";
        entry.SetGroupName(built);
        built = "changed";
    }
    EXPECT_EQ(entry.GroupName(), "my group");
    entry.SetLinkedItemName(entry.GroupName());  // from one own text into another
    entry.SetGroupName(entry.GroupName().substr(3));  // from itself
    EXPECT_EQ(entry.GroupName(), "group");
    EXPECT_EQ(entry.LinkedItemName(), "my group");
    for (int round = 0; round < 1000; ++round) {
        const std::string own = "owner " + std::to_string(round) + " with a long name";
        entry.SetOwnerName(round % 2 == 0 ? std::string_view(own) : entry.Data.substr(15, 1));
        ASSERT_EQ(entry.OwnerName(), round % 2 == 0 ? own : "g") << round;
    }
    entry.SetOwnerName({});
    EXPECT_EQ(entry.OwnerName(), "");
    EXPECT_EQ(entry.FileName(), "tail");
    EXPECT_EQ(entry.LinkedItemName(), "my group");

    // Texts starting right at the edge of what a place in the line can say: the last
    // offset a place holds, the marker of an own text, and past it.
    std::string varied(70000, ' ');
    for (std::size_t i = 0; i < varied.size(); ++i) {
        varied[i] = static_cast<char>('a' + i * 7 % 26);
    }
    for (const std::size_t offset : {65533u, 65534u, 65535u, 65536u}) {
        SCOPED_TRACE(offset);
        TIdUnixFTPListItem edge;
        edge.Data = items.KeepText(varied);
        edge.SetFileName(edge.Data.substr(offset, 3));
        edge.SetOwnerName(edge.Data.substr(offset + 1, 2));
        EXPECT_EQ(edge.FileName(), varied.substr(offset, 3));
        EXPECT_EQ(edge.OwnerName(), varied.substr(offset + 1, 2));
    }

    // An entry made by hand has no line: every text is its own.
    TIdMLSTFTPListItem loose;
    loose.SetUnixMode("0644");
    loose.SetFacts(std::string("type=file;"));
    EXPECT_EQ(loose.UnixMode(), "0644");
    EXPECT_EQ(loose.Facts(), "type=file;");
    EXPECT_EQ(loose.PermissionDisplay(), "");
}

// Entries made in the listing's blocks and entries made elsewhere, mixed, deleted in
// any order, moved and cleared: each ends once (the sanitizer build sees leaks and
// double ends), the rest keep their texts.
TEST(ListParsers, EntriesMadeInTheListingOrAddedEndOnce) {
    TIdFTPListItems items;
    for (int i = 0; i < 3000; ++i) {
        TIdFTPListItem* item = nullptr;
        if (i % 3 == 0) {
            item = &items.Add(std::make_unique<TIdUnixFTPListItem>());
        } else if (i % 3 == 1) {
            item = &items.Emplace<TIdUnixFTPListItem>();
        } else {
            item = &items.Emplace<TIdMLSTFTPListItem>();
        }
        item->Data = items.KeepText("line " + std::to_string(i));
        item->SetFileName(item->Data.substr(5));
        item->SetPermissionDisplay("a text of its own, longer than a short string " + std::to_string(i));
    }
    for (std::size_t index : {2999u, 0u, 1500u, 1u, 2u}) {
        items.Delete(index);
    }
    items.Delete(5000);  // past the end: nothing
    ASSERT_EQ(items.Count(), 2995u);
    TIdFTPListItems moved = std::move(items);
    // Left: 1, 3, 5..1500, 1502..2998.
    EXPECT_EQ(moved[0].FileName(), "1");
    EXPECT_EQ(moved[2].FileName(), "5");
    EXPECT_EQ(moved[1497].FileName(), "1500");
    EXPECT_EQ(moved[1498].FileName(), "1502");
    EXPECT_EQ(moved[2994].PermissionDisplay(), "a text of its own, longer than a short string 2998");
    items = std::move(moved);
    EXPECT_EQ(items.Count(), 2995u);
    items.Clear();
    EXPECT_EQ(items.Count(), 0u);
    items.Emplace<TIdFTPListItem>().SetFileName("again");
    EXPECT_EQ(items[0].FileName(), "again");
}

TEST(ListParsers, MachineListing) {
    TIdFTPListItems items;
    DefaultListParsers().ParseListing(
        {"type=dir;modify=20240131120000; sub dir", "Type=file;Size=12;Modify=20240131120000.5; a.txt",
         "type=file;sizd=7;UNIX.mode=0644; b", "size=1;invalid; broken"},
        items, "MLST");
    ASSERT_EQ(items.Count(), 3u) << "a line with a malformed fact list is no entry";
    EXPECT_EQ(items[0].ItemType, ditDirectory);
    EXPECT_EQ(items[0].FileName(), "sub dir");
    EXPECT_FALSE(items[0].SizeAvail);
    EXPECT_EQ(items[1].Size, 12);
    const DateTimeParts gmt = decodeDateTime(items[1].ModifiedDateGMT);
    EXPECT_EQ(gmt.year, 2024);
    EXPECT_EQ(gmt.millisecond, 500);
    EXPECT_EQ(items[2].Size, 7);
    EXPECT_FALSE(items[2].ModifiedAvail);
    EXPECT_EQ(static_cast<const TIdMLSTFTPListItem&>(items[2]).UnixMode(), "0644");
}

TEST(ListParsers, Registry) {
    TIdFTPListParserRegistry registry;
    TIdFTPListItems items;
    std::string layout = "stale";
    EXPECT_EQ(std::string([&] {
                  try {
                      registry.CheckAndParseListing({"x"}, items, true, "", layout);
                  } catch (const EIdFTPListParseError& error) {
                      return std::string(error.what());
                  }
                  return std::string("no error");
              }()),
              "No IdFTPListParse classes have been registered. Check your uses clause!");
    registry.RegisterParser(1, std::make_unique<TIdFTPLPNList>());
    EXPECT_THROW(registry.CheckAndParseListing({"x"}, items, true, "", layout), EIdFTPListParseError);
    EXPECT_TRUE(registry.CheckAndParseListing({"x"}, items, false, "", layout)) << "NLST alone serves NLST";

    registry.RegisterParser(18, std::make_unique<TIdFTPLPUnix>());
    registry.RegisterParser(4, std::make_unique<TIdFTPLPWindowsNT>());
    std::vector<std::string> order;
    for (const TIdFTPListBase* parser : registry.Parsers()) {
        order.push_back(parser->Identifier());
    }
    EXPECT_EQ(order, (Lines{"NLST", "Windows NT", "Unix"})) << "kept in table order";
    EXPECT_FALSE(registry.CheckAndParseListing({"nothing known"}, items, true, "", layout));
    EXPECT_EQ(layout, "");
    registry.ParseListing({"a"}, items, "No such layout");
    EXPECT_EQ(items.Count(), 0u);
}

// Random and mutated lines must never crash, hang or escape as an exception.
TEST(ListParsers, HostileInputNeverEscapes) {
    const Lines seeds = {
        "drwxr-xr-x   2 user group 4096 Dec 31 23:59 docs",
        "12345 8 -rw-r--r-- 1 u g 10 Jan  1 2000 a",
        "lrwxrwxrwx 1 root root 7 Jan  1 12:00 lib -> usr/lib/",
        "crw-rw-rw-   1 root tty 5,   0 Jan  1 2020 tty",
        "-rw-r--r-- 1 u g AR fam1 100 Jan  1 2000 a",
        "12-31-07  11:59PM       <DIR>          My Folder",
        "2008-01-31  12:08AM            5000000000 big.iso",
        "type=file;size=12;modify=20240131120000; a.txt",
        "total 12",
        "docs:",
        "AUTOEXEC.BAT        734            05-10-1996 09:30",
        "README   TXT      1024  3-07-95  12:10p",
        "readme.txt          1,024  09:14  2/24/94",
        "2 files. 1,234,567 bytes free",
        "PS:<ANONYMOUS>SUBDIR.DIRECTORY.1;P777700",
        "DESIGN1.DOC          11264      May 11 1995 14:20   A",
        " 00000000 0000FFFF  65536 BOOT.BIN",
        " Directory [ DK:/*.* ]   Files: 2   Block: 165",
        "TSX.SAV       123  12-Jun-95",
        "PROFILE                  80FC      1K   02/11/96 05/21/96  LIB      1       25",
        "PRD1        <Library>",
        "PAYROLL.01234.00    12    1    0    3  D  A",
        "$$BOOT    PHASE      12  01/13/99  10:22:14  F",
        "0113 TCPMAINT 00000026 PUN A PROFILE  EXEC     02/11 09:14:33",
        "09/04/02 10:03:25 F  1    1234 ROB  SYS 'read me.txt'",
        "QUADTEST      >  QUA1I1      18128       41 Aug 12 13:56",
        "Total number of Mailboxes = 2",
        "- [RWCEAFMS] supervisor    1,234 Jun 25 2007  3:10 PM  report.txt",
        "- [RWCEAFMS] SUPERVISOR     1234  06-25-07  15:10  REPORT.TXT",
        "w----d          0  Aug 21 1998  12:35  SUBDIR",
        "-  rw-r--  JDOE          1234  09/04/02  10:03  PAYROLL",
        "-s  1234  09/04/02  10:05  PAYROLL.DATA",
    };
    const std::string alphabet = std::string("drwxl-stTSpcb0123456789:,/.<>DIR AMPamp;=\t\xc3\xa4\xff", 46) +
                                 std::string(1, '\0');
    std::mt19937 random(20261208);
    std::vector<const TIdFTPListBase*> parsers = DefaultListParsers().Parsers();
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < 7000; ++round) {
        Lines lines;
        const int count = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < count; ++i) {
            std::string line = seeds[random() % seeds.size()];
            const int edits = static_cast<int>(random() % 6);
            for (int e = 0; e < edits; ++e) {
                const std::size_t at = line.empty() ? 0 : random() % line.size();
                switch (random() % 4) {
                    case 0: line.insert(at, 1, alphabet[random() % alphabet.size()]); break;
                    case 1: if (!line.empty()) line.erase(at, 1 + random() % 5); break;
                    case 2: if (!line.empty()) line[at] = alphabet[random() % alphabet.size()]; break;
                    default: line = line.substr(0, at); break;
                }
            }
            if (round % 97 == 0) {
                line = std::string(random() % 3 == 0 ? 100000 : 40, ' ');
            } else if (round % 89 == 0) {
                line = std::string(50000, '9');
            } else if (round % 503 == 0) {
                // Tens of thousands of words: no parser may copy the line per word.
                line = "-rw-r--r-- 1 u g ";
                for (int word = 0; word < 40000; ++word) {
                    line += "x ";
                }
            }
            lines.push_back(line);
        }
        for (const TIdFTPListBase* parser : parsers) {
            TIdFTPListItems items;
            EXPECT_NO_THROW({
                parser->CheckListing(lines, "UNIX Type: L8", true);
                parser->ParseListing(lines, items);
            }) << parser->Identifier() << " on: " << lines.front().substr(0, 80);
        }
    }
    // A bound against runaway (quadratic) parsing, not a timing: sanitizer builds are
    // many times slower.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(150));
}

}  // namespace
}  // namespace harbrook::testing
