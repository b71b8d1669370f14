#pragma once

#include <initializer_list>

#include "ftp/listing/IdFTPListParseBase.h"

// Names only (NLST): every line is a name.
class TIdFTPLPNList : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "NLST"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// Machine listings (MLSD): "fact=value;fact=value; name". Never chosen by detection.
class TIdFTPLPMList : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "MLST"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    // A line whose facts are not all "name=value" is not an entry (RFC 3659 form).
    bool ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
    TIdFTPListItem& MakeNewItem(TIdFTPListItems& dir) const override;
    std::unique_ptr<TIdListingCursor> StartParse(TIdFTPListItems& dir) const override;
};

// IIS and other DOS-style servers: date, time, <DIR> or size, name.
class TIdFTPLPWindowsNT : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "Windows NT"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

namespace harbrook::listing::unixline {
struct RepeatedDate;
}

// ls -l output, with its many variants.
class TIdFTPLPUnix : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "Unix"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
    TIdFTPListItem& MakeNewItem(TIdFTPListItems& dir) const override;
    std::unique_ptr<TIdListingCursor> StartParse(TIdFTPListItems& dir) const override;

protected:
    // Unitree's ls shares this parse; its lines carry "AR" or "DK" and a file family.
    virtual bool IsUnitree() const { return false; }

private:
    // One line; `lastDate` (may be null) carries the date columns from line to line.
    // `startsWithPermissions`: the line is known to (no inode or block columns).
    void parseLine(TIdFTPListItem& item, const std::string& path, harbrook::listing::unixline::RepeatedDate* lastDate,
                   bool startsWithPermissions) const;
};

class TIdFTPLPUnitree : public TIdFTPLPUnix {
public:
    std::string Identifier() const override { return "Unitree"; }
    TIdFTPListItem& MakeNewItem(TIdFTPListItems& dir) const override;

protected:
    bool IsUnitree() const override { return true; }
};

namespace harbrook {

// Registers the built-in layouts at their places in the table of known layouts.
void registerBuiltInListParsers(TIdFTPListParserRegistry& registry);

namespace listing {
// The tests the Unix layout's recognition and parse are built from.
bool isUnixLine(std::string_view line);
bool isUnitreeLine(std::string_view line);
bool isUnitreeBanner(std::string_view line);
bool isTotalLine(std::string_view line);
bool isDirectoryHeader(std::string_view line);

// The column readers of a Unix line, in the order of the columns. Each takes the rest of
// the line, consumes its columns and fills the entry.
namespace unixline {
// The date and time as read so far; what the line leaves out is today's.
struct When {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    bool yearFromDate = false;
    bool operator==(const When&) const = default;
};
When startingFrom(const ListingClock& clock);
void readInodeAndBlocks(std::string_view& text, TIdUnixFTPListItem& entry);
// Returns the type letter, upper-cased.
char readPermissions(std::string_view& text, TIdUnixFTPListItem& entry);
// Returns true for a Mac server's "folder" in place of the three columns. `line` is the
// whole line; `permissionsFirst` says that it starts with the permissions column.
bool readLinksOwnerGroup(std::string_view& text, TIdUnixFTPListItem& entry, std::string_view line,
                         bool permissionsFirst = false);
void readSize(std::string_view& text, TIdUnixFTPListItem& entry, bool unitree, bool macFolder);
void readDate(std::string_view& text, When& when);
// A year ("2007") or a time ("23:59", "23:59:59 2007"); a time without a year takes
// the year that puts the date at most about half a year ahead of `clock`.
void readYearOrTime(std::string_view& text, When& when, const ListingClock& clock);
TIdDirItemType itemTypeFor(char typeLetter);
// Whether the date could be encoded (else the entry has none).
bool setModified(TIdFTPListItem& item, const When& when);
// The date columns of the line read last ("Dec 31 23:59") and what they made of the
// entry's date: the lines of a folder mostly repeat them, and reading them is a good
// part of reading a line.
struct RepeatedDate {
    // Empty while none is kept.
    std::string text;
    // The day the reading started from (today's).
    When start;
    harbrook::TDateTime modified = 0;
    bool dated = false;
};
// The date and year-or-time columns into the entry's modification date (readDate,
// readYearOrTime, setModified), taken from `last` when its text is the same, and kept
// there when it may be.
void readModified(std::string_view& text, TIdFTPListItem& item, const ListingClock& clock,
                  RepeatedDate* last = nullptr);
// Link targets, "/" and "*" marks, and the path prefix of a recursive listing.
void setName(TIdUnixFTPListItem& entry, std::string_view name, const std::string& path);
}  // namespace unixline
}  // namespace listing

}  // namespace harbrook

// Easily Parsed LIST Format: "+facts<TAB>name".
class TIdFTPLPEPLF : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "EPLF"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// OS/2 FTP servers: size, attributes, mm-dd-yy, hh:mm, name.
class TIdFTPLPOS2 : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "OS/2"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// Novell Netware: "d [RWCEAFMS] owner size Mon DD HH:MM name" (eight rights letters).
class TIdFTPLPNovellNetware : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "Novell Netware"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;

protected:
    // How many rights letters the bracketed field holds.
    virtual std::size_t RightsLength() const { return 8; }
};

// Hellsoft's Netware server: "d[RWCEMFA] owner size Mon DD HH:MM name" (seven letters).
class TIdFTPLPHellSoft : public TIdFTPLPNovellNetware {
public:
    std::string Identifier() const override { return "Hellsoft"; }

protected:
    std::size_t RightsLength() const override { return 7; }
};

// Wind River VxWorks: "  size   date   time   name" header, "<DIR>" after directory names.
class TIdFTPLPVxWorks : public TIdFTPListBaseHeaderFooter {
public:
    std::string Identifier() const override { return "Wind River VxWorks"; }
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;

protected:
    bool IsHeader(std::string_view line) const override;
    bool IsFooter(std::string_view) const override { return false; }
};

// Tandem NonStop Guardian: File, Code, EOF, Last Modification, Owner, RWEP columns.
class TIdFTPLPTandemGuardian : public TIdFTPListBaseHeaderFooter {
public:
    std::string Identifier() const override { return "Tandem NonStop Guardian"; }
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;

protected:
    bool IsHeader(std::string_view line) const override;
    bool IsFooter(std::string_view) const override { return false; }
};

// MicroWare OS-9: "Directory of ..." and a column header, then owner, date, attributes,
// sector, byte count and name.
class TIdFTPLPMicrowareOS9 : public TIdFTPListBaseHeaderFooter {
public:
    std::string Identifier() const override { return "MicroWare OS-9"; }
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;

protected:
    bool IsHeader(std::string_view line) const override;
    bool IsFooter(std::string_view) const override { return false; }
};

// MVS JES queue, form 1: "IBMUSER1  JOB01906  OUTPUT    3 Spool Files" (no header).
class TIdFTPLPMVSJESInterface1 : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "MVS:  JES Queue Interface 1"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// MVS JES queue, form 2: the header "JOBNAME  JOBID    OWNER    STATUS CLASS".
class TIdFTPLPMVSJESInterface2 : public TIdFTPListBaseHeaderFooter {
public:
    std::string Identifier() const override { return "MVS:  JES Queue Interface 2"; }
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;

protected:
    bool IsHeader(std::string_view line) const override;
    bool IsFooter(std::string_view) const override { return false; }
};

// IBM MVS data sets: Volume, Unit, Referred, Ext, Used, Recfm, Lrecl, BlkSz, Dsorg, Dsname.
class TIdFTPLPMVS : public TIdFTPListBaseHeaderFooter {
public:
    std::string Identifier() const override { return "MVS"; }
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;

protected:
    bool IsHeader(std::string_view line) const override;
    bool IsFooter(std::string_view) const override { return false; }
};

// Members of an MVS partitioned data set: ISPF statistics or a load library (TTR).
class TIdFTPLPMVSPartitionedDataSet : public TIdFTPListBaseHeaderFooter {
public:
    std::string Identifier() const override { return "MVS:  Partitioned Data Set"; }
    bool ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;

protected:
    bool IsHeader(std::string_view line) const override;
    bool IsFooter(std::string_view) const override { return false; }
};

// IBM AS/400: owner, size, date, time, object type, name.
class TIdFTPLPAS400 : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "AS400"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// IBM VM/CMS minidisks: file name, file type (or DIR), format, record length, records,
// blocks, date, time, label.
class TIdFTPLPVMCMS : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "VM/CMS"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// SuperTCP: DOS short name, <DIR> or size, date, time.
class TIdFTPLPSuperTCP : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "SuperTCP"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// Stratus VOS: "Files:", "Dirs:" and "Links:" sections.
class TIdFTPLPStratusVOS : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "Stratus VOS"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// CONNECT:Enterprise for UNIX mailboxes: flags, protocol letter, mailbox, batch, size,
// date, name.
class TIdFTPLPSterCommEntUx : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "CONNECT:Enterprise for UNIX"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// HP MPE/iX with POSIX names: PATH= and CODE/LOGICAL RECORD/SPACE/FILENAME headers.
class TIdFTPLPMPiXWithPOSIX : public TIdFTPListBaseHeaderFooter {
public:
    std::string Identifier() const override { return "MPE/iX:  With POSIX Names"; }
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;

protected:
    bool IsHeader(std::string_view line) const override;
    bool IsFooter(std::string_view) const override { return false; }
};

// OpenVMS: "Directory DEV:[PATH]" headers, NAME.TYPE;VERSION entries (directories
// NAME.DIR;n), attributes on the same or the next line, "Total of ..." footers.
class TIdFTPLPVMS : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "VMS"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// WinQVT/NET: name, <DIR> or size, mm-dd-yyyy in columns 36 to 45, hh:mm.
class TIdFTPLPWinQVNet : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "WinQVT/NET"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// TOPS-20: "PS:<FOLDER>" headers, then NAME.TYPE.GENERATION entries.
class TIdFTPLPTOPS20 : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "TOPS20"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// PC-NFSD: name and extension columns, <DIR> or size, mm-dd-yy, h:mm followed by a or p.
class TIdFTPLPPCNFSD : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "PC-NFSD"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// NCSA Telnet for the Mac: names only, folders ending in "/"; known by the system description.
class TIdFTPLPNCSAforMACOS : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "NCSA for MACOS"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// NCSA for MS-DOS (CU/TCP): name, <DIR> or size, date, time; a "Bytes ... Available" footer.
class TIdFTPLPNCSAforDOS : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "NCSA for MS-DOS (CU/TCP)"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// KA9Q NOS: name (folders end in "/"), size, time, date; a "N files." footer.
class TIdFTPLPKA9Q : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "KA9Q"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// Cisco IOS: names only, folders ending in "/"; known by the system description.
class TIdFTPLPCiscoIOS : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "Cisco IOS"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// NetManage Chameleon/Newt: name, <DIR> or size, Mon DD YYYY HH:MM, attributes.
class TIdFTPLPChameleonNewt : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "NetManage Chameleon/Newt"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// Xecom Micro RTOS: "Start End length File name" header, "Total N files, N bytes" footer.
class TIdFTPLPXecomMicroRTOS : public TIdFTPListBaseHeaderFooter {
public:
    std::string Identifier() const override { return "Xercom Micro RTOS"; }
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;

protected:
    bool IsHeader(std::string_view line) const override;
    bool IsFooter(std::string_view line) const override;
};

// WfFTP: " Volume - drive " and " Directory of " headers, DOS entries, "bytes - ..." footers.
class TIdFTPLPWfFTP : public TIdFTPListBaseHeaderFooter {
public:
    std::string Identifier() const override { return "WfFTP"; }
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;

protected:
    bool IsHeader(std::string_view line) const override;
    bool IsFooter(std::string_view line) const override;
};

// MUSIC/SP: a "File name RlenRf Size Read Write By Attrbs #Recs" header.
class TIdFTPLPMusic : public TIdFTPListBaseHeaderFooter {
public:
    std::string Identifier() const override { return "MUSIC/SP"; }
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;

protected:
    bool IsHeader(std::string_view line) const override;
    bool IsFooter(std::string_view) const override { return false; }
};

// MPE/iX LISTF: "ACCOUNT= ... GROUP= ..." header, the file name first on each line.
class TIdFTPLPMPiX : public TIdFTPListBaseHeaderFooter {
public:
    std::string Identifier() const override { return "MPE/iX:  Without POSIX Names"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;

protected:
    bool IsHeader(std::string_view line) const override;
    bool IsFooter(std::string_view) const override { return false; }
};

// TSX+: RT-11 style entries (name, blocks, dd-Mon-yy) and a "Directory [ ... ] Files: Block:"
// footer.
class TIdFTPLPTSXPlus : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "TSX+"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// VSE library: its sublibraries, each marked "<Sub Library>".
class TIdFTPLPVSELibrary : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "VSE:  Library"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// VSE POWER queue: job.number.suffix, four counts, disposition and class.
class TIdFTPLPVSEPowerQueue : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "VSE:  PowerQueue"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// VSE root: libraries, the VTOC, POWER queues and VSAM catalogs by kind.
class TIdFTPLPVSERootDir : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "VSE:  Root Directory"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// VSE sublibrary members: name, type, records, date, time, F or S.
class TIdFTPLPVSESubLibrary : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "VSE:  Sublibrary"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// VSE VSAM catalog: cluster names with type E, K or R.
class TIdFTPLPVSEVSAMCatalog : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "VSE:  VSAM Catalog"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// VSE VTOC: data set names with type S, D, V, I or U.
class TIdFTPLPVSEVTOC : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "VSE:  VTOC"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// VM virtual reader: spool files by their four-digit ids.
class TIdFTPLVirtualReader : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "VM Virtual Reader"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// VM Byte File System: date, time, F or D, links, size, owner, group, 'name'.
class TIdFTPLPVMBFS : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "VM/BFS"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// CONNECT:Enterprise for UNIX, "$$" form: batch name, ">" marker, mailbox, batch, size, date.
class TIdFTPLPSterCommEntUxNS : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "CONNECT:Enterprise for UNIX$$"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// CONNECT:Enterprise for UNIX root: the mailboxes, then "Total number of Mailboxes = N".
class TIdFTPLPSterCommEntUxRoot : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "CONNECT:Enterprise for UNIX ROOT"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// Connect:Express for OS/390: file, "DF" record format and its "012" code, size, date.
class TIdFTPLPSterCommExpOS390 : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "Connect:Express for OS/390"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// Netware Print Services for Unix, DOS name space: type, rights, owner, size, mm-dd-yy, time.
class TIdFTPLPNetwarePSUDos : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "Novell Netware Print Services for Unix:  DOS Namespace"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// Netware Print Services for Unix, NFS name space: sizes with "," and AM/PM times.
class TIdFTPLPNetwarePSUNFS : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "Novell Netware Print Services for Unix:  NFS Namespace"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// Distinct TCP/IP: "wash-d" attribute places, size, date, name.
class TIdFTPLPDistinctTCPIP : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "Distinct TCP/IP"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// Bull GCOS 8: type, "tsrwx-" permissions, owner, size, date, time, name.
class TIdFTPLPGOS8 : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "Bull GCOS8"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};

// Bull GCOS 7: "-dsm" attributes, size, date, time, name.
class TIdFTPLPGOS7 : public TIdFTPListBase {
public:
    std::string Identifier() const override { return "Bull GCOS7"; }
    bool CheckListing(const TIdListingLines& listing, const std::string& systemDescription,
                      bool detailed) const override;
    bool ParseLine(TIdFTPListItem& item, const std::string& path) const override;
};
