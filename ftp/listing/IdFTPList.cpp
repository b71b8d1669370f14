#include "ftp/listing/IdFTPList.h"

#include <algorithm>
#include <cctype>

namespace {

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

}  // namespace

void TIdFTPListItem::SetFileName(const std::string& name) {
    if (m_localFileName.empty() || equalIgnoringCase(m_localFileName, m_fileName)) {
        const bool hasLower =
            std::any_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
        m_localFileName = name;
        if (!hasLower) {
            for (char& c : m_localFileName) {
                if (c >= 'A' && c <= 'Z') {
                    c = static_cast<char>(c - 'A' + 'a');
                }
            }
        }
    }
    m_fileName = name;
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

void TIdFTPListItems::Delete(std::size_t index) {
    if (index < m_items.size()) {
        m_items.erase(m_items.begin() + static_cast<long>(index));
    }
}
