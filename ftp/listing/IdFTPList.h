#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/DateTime.h"
#include "platform/LargeMemory.h"

enum TIdDirItemType : std::uint8_t {
    ditDirectory,
    ditFile,
    ditSymbolicLink,
    ditSymbolicLinkDir,
    ditBlockDev,
    ditCharDev,
    ditFIFO,
    ditSocket,
};

// One entry of a parsed listing. A folder may hold a million of these, so the layout
// is kept tight: small fields together, and the texts (name, permissions, owner...)
// kept as the places in the listing line where they stand, not as copies. A text that
// is not in the line (built, or changed) is kept as a string of the entry's own.
class TIdFTPListItem {
public:
    TIdFTPListItem() = default;
    virtual ~TIdFTPListItem() = default;
    TIdFTPListItem(const TIdFTPListItem&) = delete;
    TIdFTPListItem& operator=(const TIdFTPListItem&) = delete;

    // The listing line the entry came from. The listing the entry belongs to keeps the
    // text (TIdFTPListItems::KeepText). Set it before the texts: they are read from it.
    std::string_view Data;
    std::int64_t Size = 0;
    harbrook::TDateTime ModifiedDate = 0;
    harbrook::TDateTime ModifiedDateGMT = 0;
    // ItemType, SizeAvail and ModifiedAvail: declared last, after the texts, so the
    // small fields share one word.

    std::string_view FileName() const { return textOf(m_fileName); }
    // Also sets the local file name while it is empty or still follows the old name:
    // the new name, lower-cased when it has no lower-case letter.
    void SetFileName(std::string_view name);
    std::string_view LocalFileName() const { return m_localFollows ? FileName() : textOf(m_localFileName); }
    void SetLocalFileName(std::string_view name);
    std::string_view PermissionDisplay() const { return textOf(m_permissionDisplay); }
    void SetPermissionDisplay(std::string_view text) { setText(m_permissionDisplay, text); }

protected:
    // Where a text stands in Data, or (at == kOwnText) which of the entry's own strings
    // holds it.
    struct TextField {
        std::uint16_t at = 0;
        std::uint16_t length = 0;
    };
    std::string_view textOf(TextField field) const {
        if (field.at == kOwnText) {
            return (*m_ownTexts)[field.length];
        }
        // Data set anew after the texts (a misuse) must not make a text reach past it.
        return field.at + field.length <= Data.size() ? std::string_view(Data.data() + field.at, field.length)
                                                      : std::string_view();
    }
    // `text` may be a view of anything, this entry's own texts included. Inline for
    // the usual case, a text of the line in a field that holds none of its own: a
    // parse sets several on every line.
    void setText(TextField& field, std::string_view text) {
        if (field.at == kOwnText || text.empty() || !placeInLine(text, field)) {
            setTextElsewhere(field, text);
        }
    }
    void setTextElsewhere(TextField& field, std::string_view text);
    // Sets `place` to where `text` stands in Data, when it stands there whole (and a
    // field can say so).
    bool placeInLine(std::string_view text, TextField& place) const {
        const char* const line = Data.data();
        if (line == nullptr || !std::less_equal<>()(line, text.data()) ||
            !std::less_equal<>()(text.data() + text.size(), line + Data.size())) {
            return false;
        }
        const auto at = static_cast<std::size_t>(text.data() - line);
        if (at >= kOwnText || text.size() > 0xFFFF) {
            return false;
        }
        place = {static_cast<std::uint16_t>(at), static_cast<std::uint16_t>(text.size())};
        return true;
    }

private:
    static constexpr std::uint16_t kOwnText = 0xFFFF;

    std::unique_ptr<std::vector<std::string>> m_ownTexts;
    TextField m_fileName;
    TextField m_localFileName;
    TextField m_permissionDisplay;
    // The local name is the remote one until it is set apart.
    bool m_localFollows = true;

public:
    TIdDirItemType ItemType = ditFile;
    bool SizeAvail = true;
    bool ModifiedAvail = true;
};

// A Unix ls line's own fields.
class TIdUnixFTPListItem : public TIdFTPListItem {
public:
    // The owner's, group's and others' letters ("rwx") of the permissions shown.
    std::string_view OwnerPermissions() const { return permissionPart(1); }
    std::string_view GroupPermissions() const { return permissionPart(4); }
    std::string_view OtherPermissions() const { return permissionPart(7); }
    std::string_view OwnerName() const { return textOf(m_ownerName); }
    void SetOwnerName(std::string_view text) { setText(m_ownerName, text); }
    std::string_view GroupName() const { return textOf(m_groupName); }
    void SetGroupName(std::string_view text) { setText(m_groupName, text); }
    std::string_view LinkedItemName() const { return textOf(m_linkedItemName); }
    void SetLinkedItemName(std::string_view text) { setText(m_linkedItemName, text); }
    std::int64_t NumberBlocks = 0;
    std::int64_t Inode = 0;
    int LinkCount = 0;

private:
    std::string_view permissionPart(std::size_t from) const {
        const std::string_view shown = PermissionDisplay();
        return shown.size() > from ? shown.substr(from, 3) : std::string_view();
    }

    TextField m_ownerName;
    TextField m_groupName;
    TextField m_linkedItemName;
};

// Unitree adds the file family and whether the file is migrated (AR).
class TIdUnitreeFTPListItem : public TIdUnixFTPListItem {
public:
    std::string FileFamily;
    bool Migrated = false;
};

// The DOS attribute letters R, A, S and H.
enum class TIdDOSAttribute { ReadOnly, Archive, System, Hidden };
class TIdDOSAttributes {
public:
    void ReadFromLetters(const std::string& letters);
    bool Has(TIdDOSAttribute attribute) const { return m_attributes.count(attribute) > 0; }
    std::string Letters() const;

private:
    std::set<TIdDOSAttribute> m_attributes;
};

// A machine-listing entry's facts.
class TIdMLSTFTPListItem : public TIdFTPListItem {
public:
    // The facts as listed ("type=file;size=12;...").
    std::string_view Facts() const { return textOf(m_facts); }
    void SetFacts(std::string_view text) { setText(m_facts, text); }
    std::string_view PermissionFacts() const { return textOf(m_permissionFacts); }
    void SetPermissionFacts(std::string_view text) { setText(m_permissionFacts, text); }
    std::string_view UniqueID() const { return textOf(m_uniqueID); }
    void SetUniqueID(std::string_view text) { setText(m_uniqueID, text); }
    std::string_view UnixMode() const { return textOf(m_unixMode); }
    void SetUnixMode(std::string_view text) { setText(m_unixMode, text); }
    harbrook::TDateTime CreationDate = 0;

private:
    TextField m_facts;
    TextField m_permissionFacts;
    TextField m_uniqueID;
    TextField m_unixMode;
};

// The lines of a listing. The text is kept whole, once, as it came (a million-line
// listing is one block, not a million strings); each line is a view into it without
// its line end. Moving a listing keeps the views valid.
class TIdListingLines {
public:
    TIdListingLines() = default;
    // Lines given one by one (each kept as it is, even with a line break inside).
    TIdListingLines(std::initializer_list<std::string_view> lines);
    TIdListingLines(const std::vector<std::string>& lines);
    TIdListingLines(const TIdListingLines& other);
    TIdListingLines& operator=(const TIdListingLines& other);
    TIdListingLines(TIdListingLines&&) noexcept = default;
    TIdListingLines& operator=(TIdListingLines&&) noexcept = default;

    // The lines of a listing's text: split at CR LF, LF or CR; a NUL stays inside its
    // line (a name holding one is never used as a local name). The text is taken over,
    // not copied.
    static TIdListingLines FromText(std::string text);
    // The same for a text received in blocks, taken over as they are (a line that runs
    // across blocks is moved whole into the later one): a listing of 70 MB is never
    // joined into one copy.
    static TIdListingLines FromBlocks(std::vector<std::string> blocks);

    // A listing read as it arrives. `text` is the next piece of it, ending at a line's
    // end unless it is the last piece: its lines join the end; the earlier lines, and
    // the texts they view, stay where they are (entries made from them stay valid).
    void Append(std::string text);
    // The same for a listing written straight into the listing's own text: room for
    // `count` bytes after the `open` ones written there last that are no lines yet
    // (they move along when a new block must be taken). Returns where the open bytes
    // now start, the room after them.
    char* Room(std::size_t open, std::size_t count);
    // The first `count` of the open bytes end at a line's end unless they are the last
    // piece: their lines join the end.
    void AppendWritten(std::size_t count);
    // Lines of another listing, borrowed: their text stays that listing's and must
    // outlive these (a piece of an arriving listing, parsed on another thread while
    // the listing grows).
    static TIdListingLines Borrowing(const std::string_view* first, std::size_t count);
    // How much of `text` ends at a line break that the next byte cannot change: up to
    // the last LF, or to a CR followed by something else than LF. 0 when none.
    static std::size_t WholeLinesLength(std::string_view text);

    std::size_t size() const { return m_lines.size(); }
    bool empty() const { return m_lines.empty(); }
    std::string_view operator[](std::size_t index) const { return m_lines[index]; }
    std::string_view front() const { return m_lines.front(); }
    std::string_view back() const { return m_lines.back(); }
    auto begin() const { return m_lines.begin(); }
    auto end() const { return m_lines.end(); }
    auto rbegin() const { return m_lines.rbegin(); }
    auto rend() const { return m_lines.rend(); }

    // Whether `text` lies inside this listing's text (so it lives as long as it does).
    bool Contains(std::string_view text) const;
    std::vector<std::string> ToStrings() const;

    friend bool operator==(const TIdListingLines& a, const TIdListingLines& b) {
        return a.m_lines.size() == b.m_lines.size() &&
               std::equal(a.m_lines.begin(), a.m_lines.end(), b.m_lines.begin());
    }

private:
    void assignLines(const std::string_view* first, std::size_t count);
    void appendLines(const char* begin, const char* end);

    // On the heap of their own, so the views stay valid when the listing moves; a text
    // is never changed once views into it are taken (a deque: texts added later do not
    // move the earlier ones, not even those short enough to live inside the string).
    std::unique_ptr<std::deque<std::string>> m_texts;
    // Text written in place (an arriving listing's).
    harbrook::LargeText m_written;
    // Where each text lies, ordered by address (for Contains).
    std::vector<std::pair<const char*, const char*>> m_spans;
    // A million lines' table is 16 MB: in large pieces, made ready on another core.
    std::vector<std::string_view, harbrook::LargeAllocator<std::string_view>> m_lines;
};

// A listing read as it arrives, in pieces of any size. Each time a block of `block`
// bytes has filled, what of it ends at a sure line break joins the lines (the rest starts
// the next block), so the lines so far can be parsed while more arrive; a line longer
// than a block grows its block until it ends.
class TIdArrivingListing {
public:
    // 256 KiB by default: what is left to parse after a listing's last byte is little,
    // and the blocks are few.
    explicit TIdArrivingListing(std::size_t block = 256 << 10) : m_blockSize(std::max<std::size_t>(block, 1)) {}
    // True when lines joined Lines().
    bool Add(const char* bytes, std::size_t count);
    // The lines so far: whole ones only, each where it stays.
    const TIdListingLines& Lines() const { return m_lines; }
    // The whole listing, the last block's lines with it; empty afterwards.
    TIdListingLines Finish();
    void Clear();

private:
    bool seal();

    std::size_t m_blockSize;
    TIdListingLines m_lines;
    // The bytes at the end of the lines' text that are no lines yet.
    char* m_open = nullptr;
    std::size_t m_openSize = 0;
    // Where in them a break may still be found: a line of many megabytes is not
    // searched again at each piece.
    std::size_t m_searchFrom = 0;
};

// The entries of one listing, in listing order.
class TIdFTPListItems {
public:
    TIdFTPListItems() = default;
    ~TIdFTPListItems() { Clear(); }
    TIdFTPListItems(const TIdFTPListItems&) = delete;
    TIdFTPListItems& operator=(const TIdFTPListItems&) = delete;
    TIdFTPListItems(TIdFTPListItems&& other) noexcept { *this = std::move(other); }
    TIdFTPListItems& operator=(TIdFTPListItems&& other) noexcept;

    // A new entry of class T at the end, made in the listing's own blocks (a million
    // entries are not a million allocations).
    template <class T>
    T& Emplace() {
        static_assert(std::is_base_of_v<TIdFTPListItem, T>);
        void* const at = allocate(sizeof(T), alignof(T));
        // Room in the list first: once made, the entry is always in it.
        m_items.push_back(nullptr);
        T* const item = new (at) T();
        m_items.back() = item;
        return *item;
    }
    // An entry made elsewhere, added at the end.
    TIdFTPListItem& Add(std::unique_ptr<TIdFTPListItem> item);
    std::size_t Count() const { return m_items.size(); }
    TIdFTPListItem& operator[](std::size_t index) const { return *m_items[index]; }
    void Delete(std::size_t index);
    void Clear();
    // Room for `count` entries in all, so a large listing is not copied while it grows
    // (while entries are handed on, room for one batch).
    void Reserve(std::size_t count) { m_items.reserve(m_take ? std::min(count, m_batch) : count); }

    // Entries handed on instead of kept: once `batch` whole entries have piled up they
    // are given to `take` and let go of, so a folder of a million files never has a
    // million entries alive at once. The parsers say when the entries so far are whole
    // (Settled); HandOnRest gives what is left. An empty `take` ends handing on.
    void HandOnEvery(std::size_t batch, std::function<void(const TIdFTPListItems&)> take);
    void Settled() {
        if (m_take && m_holds == 0 && m_items.size() >= m_batch) {
            handOn();
        }
    }
    // Entries kept until as many Release as Hold: for a layout that goes over its entries
    // again once all are made.
    void Hold() { ++m_holds; }
    void Release() { --m_holds; }
    void HandOnRest() {
        if (m_take && !m_items.empty()) {
            handOn();
        }
    }

    // A copy of `text` that lives as long as the entries (until Clear): the raw lines
    // the entries' Data point into.
    std::string_view KeepText(std::string_view text);
    // Says that `lines` stays as it is for as long as these entries live (the owner of
    // both makes sure): entries made from its lines then point into them instead of
    // copies. nullptr ends that.
    void ReferTo(const TIdListingLines* lines) { m_referredLines = lines; }
    // The text an entry made from `line` keeps: the line itself when it belongs to the
    // lines referred to, a copy otherwise.
    std::string_view TextOf(std::string_view line);

    // The entries in order, as pointers.
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    // Entries and kept lines share blocks of this size (a longer line gets a block of
    // its own).
    static constexpr std::size_t kBlockBytes = 64 * 1024;

    // `size` bytes at `alignment` in the current block, or in a new one.
    void* allocate(std::size_t size, std::size_t alignment);
    // Ends the entries' lives: those made in the blocks in place, the others deleted.
    void destroyEntries();
    // Gives the entries to the taker and lets go of them, keeping one block for the next.
    void handOn();

    std::vector<std::unique_ptr<std::byte[]>> m_blocks;
    std::byte* m_blockAt = nullptr;
    std::size_t m_blockLeft = 0;
    const TIdListingLines* m_referredLines = nullptr;
    std::vector<TIdFTPListItem*> m_items;
    // The entries of m_items that Add took over (rare: most are made by Emplace).
    std::vector<std::unique_ptr<TIdFTPListItem>> m_addedItems;
    std::function<void(const TIdFTPListItems&)> m_take;
    std::size_t m_batch = 0;
    int m_holds = 0;
};
