#include "engine/SiteList.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include "engine/QueueEntries.h"
#include "platform/ProfileFile.h"

namespace {

// Far beyond any list a person keeps; a larger file is not read.
constexpr std::streamoff kMaxFileBytes = 16 << 20;

const char* encryptionName(SessionSettings::Tls tls) {
    switch (tls) {
        case SessionSettings::Tls::Explicit: return "explicit";
        case SessionSettings::Tls::Required: return "required";
        case SessionSettings::Tls::Implicit: return "implicit";
        case SessionSettings::Tls::None: break;
    }
    return "none";
}

bool encryptionOf(const std::string& name, SessionSettings::Tls& tls) {
    for (const auto value : {SessionSettings::Tls::None, SessionSettings::Tls::Explicit,
                             SessionSettings::Tls::Required, SessionSettings::Tls::Implicit}) {
        if (name == encryptionName(value)) {
            tls = value;
            return true;
        }
    }
    return false;
}

// One key of a site section; false for a value that cannot be one.
bool setField(Site& site, const std::string& key, const std::string& value) {
    std::string text;
    if (!UnescapedField(value, text)) {
        return false;
    }
    if (key == "id") {
        site.id = text;
    } else if (key == "name") {
        site.name = text;
    } else if (key == "host") {
        site.host = text;
    } else if (key == "port") {
        char* end = nullptr;
        const long port = std::strtol(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || !IsPortNumber(port)) {
            return false;
        }
        site.port = static_cast<std::uint16_t>(port);
    } else if (key == "user") {
        site.user = text;
    } else if (key == "pass") {
        site.password = text;
    } else if (key == "encryption") {
        return encryptionOf(text, site.encryption);
    } else if (key == "passive") {
        if (text != "0" && text != "1") {
            return false;
        }
        site.passive = text == "1";
    } else if (key == "remote") {
        site.remoteFolder = text;
    } else if (key == "local") {
        site.localFolder = text;
    }
    // Keys of a newer version are passed over.
    return true;
}

}  // namespace

std::string NewSiteId() {
    static std::mt19937_64 numbers{std::random_device{}()};
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(numbers()));
    return text;
}

std::string SiteListText(const std::vector<Site>& sites) {
    std::string text;
    for (const Site& site : sites) {
        text += "[site]\nid=" + EscapedField(site.id) + "\nname=" + EscapedField(site.name) + "\nhost=" + EscapedField(site.host) +
                "\nport=" + std::to_string(site.port) + "\nuser=" + EscapedField(site.user) +
                "\npass=" + EscapedField(site.password) + "\nencryption=" + encryptionName(site.encryption) +
                "\npassive=" + (site.passive ? "1" : "0") + "\nremote=" + EscapedField(site.remoteFolder) +
                "\nlocal=" + EscapedField(site.localFolder) + "\n\n";
    }
    return text;
}

std::vector<Site> ParseSiteList(const std::string& text, int& problems) {
    std::vector<Site> sites;
    problems = 0;
    std::istringstream lines(text);
    std::string line;
    bool inSite = false;
    bool broken = false;
    Site current;
    auto finish = [&] {
        if (inSite) {
            if (broken || current.name.empty() || current.host.empty()) {
                ++problems;
            } else {
                sites.push_back(current);
            }
        }
        current = {};
        broken = false;
    };
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        if (line == "[site]") {
            finish();
            inSite = true;
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inSite || equals == std::string::npos || !setField(current, line.substr(0, equals), line.substr(equals + 1))) {
            broken = true;
        }
    }
    finish();
    return sites;
}

void TSiteList::Load() {
    m_sites.clear();
    m_known.clear();
    m_problems = 0;
    std::ifstream in(m_path, std::ios::binary | std::ios::ate);
    if (!in) {
        return;
    }
    if (in.tellg() > kMaxFileBytes) {
        m_problems = 1;
        return;
    }
    in.seekg(0);
    std::ostringstream text;
    text << in.rdbuf();
    // Names made unique in one pass: a file of 10,000 sites of one name must not cost
    // 10,000 searches of 10,000 names each.
    std::unordered_set<std::string> taken;
    std::unordered_map<std::string, int> nextNumber;
    std::unordered_set<std::string> ids;
    for (Site& site : ParseSiteList(text.str(), m_problems)) {
        if (!taken.insert(site.name).second) {
            int& number = nextNumber.try_emplace(site.name, 2).first->second;
            std::string candidate;
            do {
                candidate = site.name + " (" + std::to_string(number++) + ")";
            } while (!taken.insert(candidate).second);
            site.name = candidate;
        }
        // Files from before ids, and a copied section, get an id of their own.
        if (site.id.empty() || ids.count(site.id) != 0) {
            site.id = NewSiteId();
        }
        ids.insert(site.id);
        if (!site.password.empty()) {
            m_known.insert(site.id);
        }
        m_sites.push_back(std::move(site));
    }
}

bool TSiteList::Save() {
    if (m_passwords == nullptr) {
        return harbrook::ReplaceFileWhole(m_path, SiteListText(m_sites));
    }
    std::vector<Site> filed = m_sites;
    for (Site& site : filed) {
        if (m_known.count(site.id) != 0) {
            site.password = m_passwords->Keep(SitePasswordKey(site.id), site.password);
        }
    }
    return harbrook::ReplaceFileWhole(m_path, SiteListText(filed));
}

std::string TSiteList::Password(int index) {
    Site& site = m_sites.at(static_cast<std::size_t>(index));
    if (m_passwords != nullptr && m_known.insert(site.id).second) {
        site.password = m_passwords->Recall(SitePasswordKey(site.id), site.password);
    }
    return site.password;
}

int TSiteList::Find(const std::string& name) const {
    for (std::size_t i = 0; i < m_sites.size(); ++i) {
        if (m_sites[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string TSiteList::freeName(const std::string& name) const {
    if (Find(name) < 0) {
        return name;
    }
    for (int number = 2;; ++number) {
        std::string candidate = name + " (" + std::to_string(number) + ")";
        if (Find(candidate) < 0) {
            return candidate;
        }
    }
}

int TSiteList::AddNew() {
    Site site;
    site.id = NewSiteId();
    site.name = freeName("New site");
    m_known.insert(site.id);
    m_sites.push_back(site);
    return static_cast<int>(m_sites.size()) - 1;
}

int TSiteList::Copy(int index) {
    Site site = m_sites.at(static_cast<std::size_t>(index));
    site.password = Password(index);
    site.id = NewSiteId();
    site.name = freeName(site.name + " (copy)");
    m_known.insert(site.id);
    m_sites.insert(m_sites.begin() + index + 1, site);
    return index + 1;
}

void TSiteList::Remove(int index) {
    const std::string id = m_sites.at(static_cast<std::size_t>(index)).id;
    if (m_passwords != nullptr) {
        m_passwords->Forget(SitePasswordKey(id));
    }
    m_known.erase(id);
    m_sites.erase(m_sites.begin() + index);
}

bool TSiteList::Rename(int index, const std::string& name) {
    const int holder = Find(name);
    if (name.empty() || (holder >= 0 && holder != index)) {
        return false;
    }
    m_sites.at(static_cast<std::size_t>(index)).name = name;
    return true;
}

void TSiteList::Update(int index, const Site& site) {
    Site& kept = m_sites.at(static_cast<std::size_t>(index));
    const std::string name = kept.name;
    const std::string id = kept.id;
    kept = site;
    kept.name = name;
    kept.id = id;
    m_known.insert(id);
}
