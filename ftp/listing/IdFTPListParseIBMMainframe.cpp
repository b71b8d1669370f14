// IBM mainframe listings: MVS data sets, members of a partitioned data set, and the
// two JES job queue forms.

#include <algorithm>
#include <cctype>

#include "ftp/listing/IdFTPListParsers.h"
#include "platform/DateTime.h"

using namespace harbrook::listing;

namespace {

// A JES job id: "JOB01906", "STC00033", "TSU00001" or "T0886971".
bool isJobId(std::string_view word) {
    return (word.size() == 8 && std::isalpha(static_cast<unsigned char>(word[0])) != 0 &&
            std::isalpha(static_cast<unsigned char>(word[1])) != 0 &&
            std::isalpha(static_cast<unsigned char>(word[2])) != 0 && isNumber(word.substr(3))) ||
           (word.size() == 8 && (word[0] == 'T' || word[0] == 'J' || word[0] == 'S') && isNumber(word.substr(1)));
}

}  // namespace

// ---- MVS:  JES Queue Interface 1 ----

bool TIdFTPLPMVSJESInterface1::CheckListing(const TIdListingLines& listing, const std::string&, bool) const {
    for (std::string_view line : listing) {
        if (line.empty()) {
            continue;
        }
        const std::vector<std::string> w = words(line, 4);
        return w.size() >= 3 && isJobId(w[1]) &&
               (w[2] == "OUTPUT" || w[2] == "ACTIVE" || w[2] == "INPUT" || w[2] == "HELD");
    }
    return false;
}

bool TIdFTPLPMVSJESInterface1::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 2);
    noSizeNoDate(item);
    // RETR and DELE take the job id in JES mode.
    item.SetFileName(w.size() > 1 ? w[1] : std::string());
    return true;
}

// ---- MVS:  JES Queue Interface 2 ----

bool TIdFTPLPMVSJESInterface2::IsHeader(std::string_view line) const {
    return line == "JOBNAME  JOBID    OWNER    STATUS CLASS";
}

bool TIdFTPLPMVSJESInterface2::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 2);
    noSizeNoDate(item);
    item.SetFileName(w.size() > 1 ? w[1] : std::string());
    return true;
}

// ---- MVS ----

// Real MVS servers leave "Date" out of the header the table names ("Volume Unit
// Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname"), so these columns decide.
bool TIdFTPLPMVS::IsHeader(std::string_view line) const {
    return hasAllWords(line, {"Volume", "Unit", "Referred", "Dsorg", "Dsname"});
}

// "SYSPP1 3390   2000/01/20  1    3  FB      80  3120  PO  BSCSYS.ISPTABL"
// "Migrated                                                BSCSYS.ISPUSER"
bool TIdFTPLPMVS::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data);
    const std::string dsorg = w.size() >= 2 ? w[w.size() - 2] : std::string();
    // Partitioned data sets hold members, like folders.
    item.ItemType = dsorg == "PO" || dsorg == "PO-E" ? ditDirectory : ditFile;
    item.SizeAvail = false;
    item.ModifiedAvail = false;
    item.SetFileName(w.empty() ? std::string() : w.back());
    return true;
}

// ---- MVS:  Partitioned Data Set ----

bool TIdFTPLPMVSPartitionedDataSet::IsHeader(std::string_view line) const {
    return hasAllWords(line, {"Name", "Size"});
}

bool TIdFTPLPMVSPartitionedDataSet::ParseListing(const TIdListingLines& listing, TIdFTPListItems& dir) const {
    // A load library's Size column is a byte count in hexadecimal; ISPF statistics
    // count records, which are no size.
    const bool loadLibrary = std::any_of(listing.begin(), listing.end(), [&](std::string_view line) {
        return IsHeader(line) && hasAllWords(line, {"TTR"});
    });
// ---- TIdFTPListBaseHeaderFooter ----

    // The sizes are set once every entry is made: none may be handed on before.
    dir.Hold();
    TIdFTPListBaseHeaderFooter::ParseListing(listing, dir);
    dir.Release();
    for (const auto& item : dir) {
        const std::vector<std::string> w = words(item->Data, 2);
        if (loadLibrary && w.size() > 1) {
            std::size_t used = 0;
            try {
                item->Size = static_cast<std::int64_t>(std::stoull(w[1], &used, 16));
                item->SizeAvail = used == w[1].size();
            } catch (const std::exception&) {
                item->SizeAvail = false;
            }
        } else {
            item->SizeAvail = false;
        }
    }
    return true;
}

bool TIdFTPLPMVSPartitionedDataSet::ParseLine(TIdFTPListItem& item, const std::string&) const {
    const std::vector<std::string> w = words(item.Data, 1);
    item.ModifiedAvail = false;
    item.SetFileName(w.empty() ? std::string() : w[0]);
    return true;
}
