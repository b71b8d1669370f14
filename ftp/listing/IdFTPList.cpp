#include "ftp/listing/IdFTPList.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdint>
#include <functional>
#include <unordered_set>

namespace {

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

}  // namespace

void TIdFTPListItem::setTextElsewhere(TextField& field, std::string_view text) {
    TextField inLine;
    if (text.empty() || placeInLine(text, inLine)) {
        if (field.at == kOwnText) {
            // An own string is never empty while in use: an empty one is a free slot.
            std::string().swap((*m_ownTexts)[field.length]);
        }
        field = inLine;
        return;
    }
    // Copied first: `text` may be one of the own strings, which the vector can move.
    std::string copy(text);
    if (field.at == kOwnText) {
        (*m_ownTexts)[field.length] = std::move(copy);
        return;
    }
    if (!m_ownTexts) {
        m_ownTexts = std::make_unique<std::vector<std::string>>();
    }
    // At most one slot per text field of the entry.
    std::size_t slot = 0;
    while (slot < m_ownTexts->size() && !(*m_ownTexts)[slot].empty()) {
        ++slot;
    }
    if (slot == m_ownTexts->size()) {
        m_ownTexts->emplace_back();
    }
    (*m_ownTexts)[slot] = std::move(copy);
    field = {kOwnText, static_cast<std::uint16_t>(slot)};
}

void TIdFTPListItem::SetFileName(std::string_view name) {
    // Without a local name of its own the local name is the remote one: it follows.
    // Otherwise a local name of its own is set, and stays.
    const bool follows = m_localFollows || LocalFileName().empty() || equalIgnoringCase(LocalFileName(), FileName());
    std::string lowered;
    if (follows) {
        bool hasLower = false;
        bool hasUpper = false;
        for (const char c : name) {
            if (c >= 'a' && c <= 'z') {
                // Settled: a name with a lower-case letter is kept as it is.
                hasLower = true;
                break;
            }
            hasUpper = hasUpper || (c >= 'A' && c <= 'Z');
        }
        if (!hasLower && hasUpper) {
            lowered = name;
            for (char& c : lowered) {
                if (c >= 'A' && c <= 'Z') {
                    c = static_cast<char>(c - 'A' + 'a');
                }
            }
        }
    }
    // The name first: it may be a view of the local name's own text.
    setText(m_fileName, name);
    if (follows) {
        m_localFollows = lowered.empty();
        if (!lowered.empty()) {
            setText(m_localFileName, lowered);
        }
    }
}

void TIdFTPListItem::SetLocalFileName(std::string_view name) {
    if (name == FileName()) {
        m_localFollows = true;
    } else {
        setText(m_localFileName, name);
        m_localFollows = false;
    }
}

void TIdDOSAttributes::ReadFromLetters(const std::string& letters) {
    m_attributes.clear();
    for (char letter : letters) {
        switch (std::toupper(static_cast<unsigned char>(letter))) {
            case 'R': m_attributes.insert(TIdDOSAttribute::ReadOnly); break;
            case 'A': m_attributes.insert(TIdDOSAttribute::Archive); break;
            case 'S': m_attributes.insert(TIdDOSAttribute::System); break;
            case 'H': m_attributes.insert(TIdDOSAttribute::Hidden); break;
            default: break;
        }
    }
}

std::string TIdDOSAttributes::Letters() const {
    std::string letters;
    letters += Has(TIdDOSAttribute::ReadOnly) ? 'R' : '-';
    letters += Has(TIdDOSAttribute::Archive) ? 'A' : '-';
    letters += Has(TIdDOSAttribute::System) ? 'S' : '-';
    letters += Has(TIdDOSAttribute::Hidden) ? 'H' : '-';
    return letters;
}

TIdFTPListItem& TIdFTPListItems::Add(std::unique_ptr<TIdFTPListItem> item) {
    m_items.push_back(item.get());
    m_addedItems.push_back(std::move(item));
    return *m_items.back();
}

TIdFTPListItems& TIdFTPListItems::operator=(TIdFTPListItems&& other) noexcept {
    if (this != &other) {
        Clear();
        m_items = std::move(other.m_items);
        m_addedItems = std::move(other.m_addedItems);
        m_blocks = std::move(other.m_blocks);
        m_blockAt = other.m_blockAt;
        m_blockLeft = other.m_blockLeft;
        m_referredLines = other.m_referredLines;
        other.m_items.clear();
        other.m_addedItems.clear();
        other.Clear();
        other.m_referredLines = nullptr;
    }
    return *this;
}

void TIdFTPListItems::destroyEntries() {
    if (m_addedItems.empty()) {
        for (TIdFTPListItem* item : m_items) {
            item->~TIdFTPListItem();
        }
    } else {
        std::unordered_set<const TIdFTPListItem*> added;
        for (const auto& item : m_addedItems) {
            added.insert(item.get());
        }
        for (TIdFTPListItem* item : m_items) {
            if (added.count(item) == 0) {
                item->~TIdFTPListItem();
            }
        }
        m_addedItems.clear();
    }
    m_items.clear();
}

void TIdFTPListItems::Clear() {
    destroyEntries();
    m_blocks.clear();
    m_blockAt = nullptr;
    m_blockLeft = 0;
}

void TIdFTPListItems::HandOnEvery(std::size_t batch, std::function<void(const TIdFTPListItems&)> take) {
    m_batch = std::max<std::size_t>(batch, 1);
    m_take = std::move(take);
}

void TIdFTPListItems::handOn() {
    m_take(*this);
    destroyEntries();
    // The block being filled is used again (the next batch is about as large); the rest
    // go, a long line's block of its own among them.
    std::byte* const current = m_blockAt == nullptr ? nullptr : m_blockAt - (kBlockBytes - m_blockLeft);
    const auto kept = std::find_if(m_blocks.begin(), m_blocks.end(),
                                   [&](const auto& block) { return block.get() == current; });
    if (kept == m_blocks.end()) {
        m_blocks.clear();
        m_blockAt = nullptr;
        m_blockLeft = 0;
        return;
    }
    std::swap(*kept, m_blocks.front());
    m_blocks.resize(1);
    m_blockAt = current;
    m_blockLeft = kBlockBytes;
}

void* TIdFTPListItems::allocate(std::size_t size, std::size_t alignment) {
    const std::size_t padding = (alignment - reinterpret_cast<std::uintptr_t>(m_blockAt) % alignment) % alignment;
    if (m_blockAt == nullptr || m_blockLeft < padding + size) {
        if (size > kBlockBytes / 4) {
            // Something large (a long line): a block of its own, so it does not leave
            // most of the current one unused.
            return m_blocks.emplace_back(std::make_unique_for_overwrite<std::byte[]>(size)).get();
        }
        m_blockAt = m_blocks.emplace_back(std::make_unique_for_overwrite<std::byte[]>(kBlockBytes)).get();
        m_blockLeft = kBlockBytes;
        return allocate(size, alignment);
    }
    std::byte* const at = m_blockAt + padding;
    m_blockAt = at + size;
    m_blockLeft -= padding + size;
    return at;
}

std::string_view TIdFTPListItems::KeepText(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    char* const at = static_cast<char*>(allocate(text.size(), 1));
    std::memcpy(at, text.data(), text.size());
    return {at, text.size()};
}

std::string_view TIdFTPListItems::TextOf(std::string_view line) {
    if (m_referredLines != nullptr && m_referredLines->Contains(line)) {
        return line;
    }
    return KeepText(line);
}

TIdListingLines::TIdListingLines(std::initializer_list<std::string_view> lines) {
    assignLines(lines.begin(), lines.size());
}

TIdListingLines::TIdListingLines(const std::vector<std::string>& lines) {
    std::vector<std::string_view> views(lines.begin(), lines.end());
    assignLines(views.data(), views.size());
}

TIdListingLines::TIdListingLines(const TIdListingLines& other) {
    *this = other;
}

TIdListingLines& TIdListingLines::operator=(const TIdListingLines& other) {
    if (this != &other) {
        // Views into a text of this listing's own.
        TIdListingLines copy;
        copy.assignLines(other.m_lines.data(), other.m_lines.size());
        *this = std::move(copy);
    }
    return *this;
}

void TIdListingLines::assignLines(const std::string_view* first, std::size_t count) {
    std::size_t total = 0;
    for (std::size_t i = 0; i < count; ++i) {
        total += first[i].size();
    }
    // Sized before the first view is taken: the text must not move afterwards.
    m_texts = std::make_unique<std::deque<std::string>>(1);
    std::string& text = m_texts->front();
    text.reserve(total);
    m_lines.clear();
    m_lines.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = text.size();
        text.append(first[i]);
        m_lines.emplace_back(text.data() + at, first[i].size());
    }
    m_spans = {{text.data(), text.data() + text.size()}};
}

TIdListingLines TIdListingLines::FromText(std::string text) {
    std::vector<std::string> blocks;
    blocks.push_back(std::move(text));
    return FromBlocks(std::move(blocks));
}

TIdListingLines TIdListingLines::FromBlocks(std::vector<std::string> blocks) {
    blocks.erase(std::remove_if(blocks.begin(), blocks.end(), [](const std::string& block) { return block.empty(); }),
                 blocks.end());
    // A CR LF cut between two blocks stays one break: the LF joins its CR.
    for (std::size_t i = 0; i + 1 < blocks.size(); ++i) {
        if (!blocks[i].empty() && blocks[i].back() == '\r' && !blocks[i + 1].empty() && blocks[i + 1].front() == '\n') {
            blocks[i] += '\n';
            blocks[i + 1].erase(0, 1);
        }
    }
    // Each block but the last ends at a line's end: the start of a line that runs on
    // goes to the front of the next block.
    for (std::size_t i = 0; i + 1 < blocks.size(); ++i) {
        std::string& block = blocks[i];
        const std::size_t lastBreak = block.find_last_of("\r\n");
        const std::size_t keep = lastBreak == std::string::npos ? 0 : lastBreak + 1;
        if (keep < block.size()) {
            std::string next;
            next.reserve(block.size() - keep + blocks[i + 1].size());
            next.append(block, keep, std::string::npos);
            next += blocks[i + 1];
            blocks[i + 1] = std::move(next);
            block.resize(keep);
        }
    }
    TIdListingLines result;
    // Room for every line at once: a listing of a million lines must not be copied
    // while it grows.
    std::size_t breaks = 0;
    for (const std::string& block : blocks) {
        const char* at = block.data();
        const char* const end = at + block.size();
        while ((at = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)))) != nullptr) {
            ++breaks;
            ++at;
        }
    }
    result.m_lines.reserve(breaks + 1);
    for (std::string& block : blocks) {
        result.Append(std::move(block));
    }
    return result;
}

std::size_t TIdListingLines::WholeLinesLength(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    const auto* const lf = static_cast<const char*>(memrchr(text.data(), '\n', text.size()));
    std::size_t whole = lf == nullptr ? 0 : static_cast<std::size_t>(lf - text.data()) + 1;
    // A CR after it ends a line too, unless it is at the very end: it may be the first
    // half of a CR LF still to come. (Only what follows the last LF is searched: a
    // listing with LF breaks alone must not be searched through at every block.)
    if (text.size() - 1 > whole) {
        const auto* const cr = static_cast<const char*>(memrchr(text.data() + whole, '\r', text.size() - 1 - whole));
        if (cr != nullptr) {
            whole = static_cast<std::size_t>(cr - text.data()) + 1;
        }
    }
    return whole;
}

bool TIdArrivingListing::Add(const char* bytes, std::size_t count) {
    bool joined = false;
    while (count > 0) {
        const std::size_t room = m_openSize < m_blockSize ? m_blockSize - m_openSize : m_blockSize;
        const std::size_t taken = std::min(count, room);
        m_open = m_lines.Room(m_openSize, taken);
        std::memcpy(m_open + m_openSize, bytes, taken);
        m_openSize += taken;
        bytes += taken;
        count -= taken;
        if (m_openSize >= m_blockSize) {
            joined = seal() || joined;
        }
    }
    return joined;
}

bool TIdArrivingListing::seal() {
    // Only what came since the last look can end a line (or follow the CR before it).
    const std::size_t from = m_searchFrom;
    const std::size_t found = TIdListingLines::WholeLinesLength(std::string_view(m_open + from, m_openSize - from));
    if (found == 0) {
        m_searchFrom = m_openSize - 1;
        return false;
    }
    const std::size_t whole = from + found;
    m_lines.AppendWritten(whole);
    m_open += whole;
    m_openSize -= whole;
    m_searchFrom = m_openSize == 0 ? 0 : m_openSize - 1;
    return true;
}

TIdListingLines TIdArrivingListing::Finish() {
    if (m_openSize > 0) {
        m_lines.AppendWritten(m_openSize);
    }
    TIdListingLines lines = std::move(m_lines);
    Clear();
    return lines;
}

void TIdArrivingListing::Clear() {
    m_lines = TIdListingLines();
    m_open = nullptr;
    m_openSize = 0;
    m_searchFrom = 0;
}

void TIdListingLines::Append(std::string text) {
    if (text.empty()) {
        return;
    }
    if (!m_texts) {
        m_texts = std::make_unique<std::deque<std::string>>();
    }
    const std::string& block = m_texts->emplace_back(std::move(text));
    appendLines(block.data(), block.data() + block.size());
}

TIdListingLines TIdListingLines::Borrowing(const std::string_view* first, std::size_t count) {
    TIdListingLines borrowed;
    borrowed.m_lines.assign(first, first + count);
    // Where the lines lie, for Contains: runs of lines that follow one another (a line
    // break between them) make one span.
    for (std::size_t i = 0; i < count; ++i) {
        const char* const begin = first[i].data();
        const char* const end = begin + first[i].size();
        auto& spans = borrowed.m_spans;
        if (!spans.empty() && std::less_equal<>()(spans.back().second, begin) &&
            std::less_equal<>()(begin, spans.back().second + 2)) {
            spans.back().second = end;
        } else {
            spans.emplace_back(begin, end);
        }
    }
    std::sort(borrowed.m_spans.begin(), borrowed.m_spans.end(),
              [](const auto& a, const auto& b) { return std::less<>()(a.first, b.first); });
    return borrowed;
}

char* TIdListingLines::Room(std::size_t open, std::size_t count) {
    return m_written.Room(open, count);
}

void TIdListingLines::AppendWritten(std::size_t count) {
    if (count == 0) {
        return;
    }
    const char* const begin = m_written.Keep(count);
    appendLines(begin, begin + count);
}

void TIdListingLines::appendLines(const char* const begin, const char* const end) {
    // Text written in place goes on where the last piece of its block ended: one span.
    auto after = std::upper_bound(m_spans.begin(), m_spans.end(), begin,
                                  [](const char* at, const auto& span) { return std::less<>()(at, span.first); });
    if (after != m_spans.begin() && (after - 1)->second == begin) {
        (after - 1)->second = end;
    } else {
        m_spans.emplace(after, begin, end);
    }
    const char* at = begin;
    // A NUL does not end the text: a server that sends one in a name must not hide
    // every line after it (and cut that name into another one a walk would fetch).
    // The next LF at or after `at` (or the end), found again only once passed: a
    // listing broken by lone CRs must not search the rest of the text for each line.
    const char* limit = nullptr;
    while (at < end) {
        // The line ends at its LF or at a CR before it (found with memchr: this is
        // most of the time a large listing takes besides its parse).
        if (limit == nullptr || limit < at) {
            const auto* lf = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
            limit = lf != nullptr ? lf : end;
        }
        const auto* cr = static_cast<const char*>(std::memchr(at, '\r', static_cast<std::size_t>(limit - at)));
        const char* stop = cr != nullptr ? cr : limit;
        if (m_lines.size() == m_lines.capacity()) {
            // Doubled, to all of the memory it then takes (whole units): a table of 100,000
            // lines fills one, instead of being copied into three more on its way.
            const std::size_t wanted = std::max<std::size_t>(2 * m_lines.capacity(), 64);
            m_lines.reserve(harbrook::largeCapacity(wanted * sizeof(std::string_view)) / sizeof(std::string_view));
        }
        m_lines.emplace_back(at, static_cast<std::size_t>(stop - at));
        if (stop < end && *stop == '\r' && stop + 1 < end && stop[1] == '\n') {
            ++stop;
        }
        at = stop + 1;
    }
}

bool TIdListingLines::Contains(std::string_view text) const {
    if (text.data() == nullptr || m_spans.empty()) {
        return false;
    }
    // Compared as addresses: std::less gives a total order even across objects.
    const char* const first = text.data();
    auto after = std::upper_bound(m_spans.begin(), m_spans.end(), first,
                                  [](const char* at, const auto& span) { return std::less<>()(at, span.first); });
    if (after == m_spans.begin()) {
        return false;
    }
    const auto& span = *(after - 1);
    return std::less_equal<>()(span.first, first) && std::less_equal<>()(first + text.size(), span.second);
}

std::vector<std::string> TIdListingLines::ToStrings() const {
    return {m_lines.begin(), m_lines.end()};
}

void TIdFTPListItems::Delete(std::size_t index) {
    if (index >= m_items.size()) {
        return;
    }
    TIdFTPListItem* const item = m_items[index];
    m_items.erase(m_items.begin() + static_cast<long>(index));
    const auto added = std::find_if(m_addedItems.begin(), m_addedItems.end(),
                                    [&](const auto& owned) { return owned.get() == item; });
    if (added != m_addedItems.end()) {
        m_addedItems.erase(added);
    } else {
        // Made in a block: its memory goes with the blocks.
        item->~TIdFTPListItem();
    }
}
