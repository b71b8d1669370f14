#include "engine/StoredPasswords.h"

using harbrook::PasswordAnswer;

std::string BarPasswordKey() {
    return "connection bar";
}

std::string SitePasswordKey(const std::string& siteId) {
    return "site " + siteId;
}

void TPasswordKeeper::fellBack() {
    m_unavailable = true;
    if (!m_noticeGiven) {
        m_noticeDue = true;
    }
}

std::string TPasswordKeeper::Recall(const std::string& key, const std::string& filed) {
    if (!filed.empty() || !usable()) {
        return filed;
    }
    std::string password;
    switch (m_store->Read(key, password)) {
        case PasswordAnswer::Done:
            m_answered = true;
            m_known[key] = password;
            return password;
        case PasswordAnswer::NotFound:
            m_answered = true;
            m_known[key].clear();
            return {};
        case PasswordAnswer::NoKeyring:
            // Nothing to keep yet: the notice waits for a password that must go to a file.
            m_unavailable = true;
            return {};
    }
    return {};
}

std::string TPasswordKeeper::Keep(const std::string& key, const std::string& password) {
    if (m_store == nullptr) {
        return password;
    }
    if (!usable()) {
        if (!password.empty()) {
            fellBack();
        }
        return password;
    }
    if (const auto known = m_known.find(key); known != m_known.end() && known->second == password) {
        return {};
    }
    const PasswordAnswer answer = password.empty() ? m_store->Remove(key) : m_store->Write(key, password);
    if (answer == PasswordAnswer::NoKeyring) {
        if (password.empty()) {
            // Nothing to fall back with; an entry left behind is found by the next run.
            m_unavailable = true;
            return {};
        }
        fellBack();
        return password;
    }
    m_answered = true;
    m_known[key] = password;
    return {};
}

void TPasswordKeeper::Forget(const std::string& key) {
    [[maybe_unused]] const std::string filed = Keep(key, {});
}

std::optional<std::string> TPasswordKeeper::TakeNotice() {
    if (!m_noticeDue) {
        return std::nullopt;
    }
    m_noticeDue = false;
    m_noticeGiven = true;
    std::string why = m_store != nullptr ? m_store->Problem() : std::string();
    return "No keyring answered" + (why.empty() ? std::string() : " (" + why + ")") +
           ", so passwords are kept in Harbrook's settings files, readable only by you.";
}
