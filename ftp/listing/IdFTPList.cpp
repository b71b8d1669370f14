#include "ftp/listing/IdFTPList.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>

namespace {

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

}  // namespace

void TIdFTPListItem::SetFileName(std::string name) {
    // Without a local name of its own the local name is the remote one: it follows.
    if (!m_localFileName || m_localFileName->empty() || equalIgnoringCase(*m_localFileName, m_fileName)) {
        bool hasLower = false;
        bool hasUpper = false;
        for (const char c : name) {
            hasLower = hasLower || (c >= 'a' && c <= 'z');
            hasUpper = hasUpper || (c >= 'A' && c <= 'Z');
        }
        m_localFileName.reset();
        if (!hasLower && hasUpper) {
            std::string lowered = name;
            for (char& c : lowered) {
                if (c >= 'A' && c <= 'Z') {
                    c = static_cast<char>(c - 'A' + 'a');
                }
            }
            m_localFileName = std::make_unique<std::string>(std::move(lowered));
        }
    }
    // Otherwise a local name of its own is set, and stays.
    m_fileName = std::move(name);
}

void TIdFTPListItem::SetLocalFileName(const std::string& name) {
    if (name == m_fileName) {
        m_localFileName.reset();
    } else if (m_localFileName) {
        *m_localFileName = name;
    } else {
        m_localFileName = std::make_unique<std::string>(name);
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
    m_items.push_back(std::move(item));
    return *m_items.back();
}

TIdFTPListItems& TIdFTPListItems::operator=(TIdFTPListItems&& other) noexcept {
    if (this != &other) {
        m_items = std::move(other.m_items);
        m_textBlocks = std::move(other.m_textBlocks);
        m_currentBlock = other.m_currentBlock;
        m_textBlockUsed = other.m_textBlockUsed;
        m_referredLines = other.m_referredLines;
        other.Clear();
        other.m_referredLines = nullptr;
    }
    return *this;
}

void TIdFTPListItems::Clear() {
    m_items.clear();
    m_textBlocks.clear();
    m_currentBlock = nullptr;
    m_textBlockUsed = kTextBlockBytes;
}

std::string_view TIdFTPListItems::KeepText(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    if (text.size() > kTextBlockBytes / 4) {
        // A long line: a block of its own, so it does not leave most of a block unused.
        auto& block = m_textBlocks.emplace_back(std::make_unique_for_overwrite<char[]>(text.size()));
        std::memcpy(block.get(), text.data(), text.size());
        return {block.get(), text.size()};
    }
    if (kTextBlockBytes - m_textBlockUsed < text.size()) {
        m_textBlocks.emplace_back(std::make_unique_for_overwrite<char[]>(kTextBlockBytes));
        m_currentBlock = m_textBlocks.back().get();
        m_textBlockUsed = 0;
    }
    char* at = m_currentBlock + m_textBlockUsed;
    std::memcpy(at, text.data(), text.size());
    m_textBlockUsed += text.size();
    return {at, text.size()};
}

std::string_view TIdFTPListItems::TextOf(const std::string& line) {
    if (m_referredLines != nullptr) {
        const std::string* first = m_referredLines->data();
        // An element of the referred vector: compared as addresses, without a search.
        if (std::less_equal<>()(first, &line) && std::less<>()(&line, first + m_referredLines->size())) {
            return line;
        }
    }
    return KeepText(line);
}

void TIdFTPListItems::Delete(std::size_t index) {
    if (index < m_items.size()) {
        m_items.erase(m_items.begin() + static_cast<long>(index));
    }
}
