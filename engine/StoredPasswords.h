#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/PasswordStore.h"

// Where the passwords of the connection bar and the saved sites rest: in the desktop's
// keyring when one answers, in the owner-only settings files otherwise. A file that
// holds a password (one written before the keyring was used, or while none answered)
// is read as before; the next save moves the password to the keyring and empties the
// file's field.
class TPasswordKeeper {
public:
    // Null: no keyring at all; every password stays in its file.
    explicit TPasswordKeeper(harbrook::IPasswordStore* store) : m_store(store) {}

    // The password a file's field stands for: the field itself when it holds one,
    // otherwise what the keyring keeps under `key` (empty when it keeps nothing).
    std::string Recall(const std::string& key, const std::string& filed);
    // Keeps `password` under `key` and gives what the file's field is to hold: empty
    // when the keyring took it (or there is none to keep), the password when no keyring
    // answered. An empty password removes the keyring's entry.
    std::string Keep(const std::string& key, const std::string& password);
    void Forget(const std::string& key);

    // Once a keeping fell back to a file: why, in words for the user (one time only,
    // then empty). Settings files stay readable by their owner only either way.
    std::optional<std::string> TakeNotice();
    // True when the keyring took or gave a password in this run.
    bool KeyringAnswered() const { return m_answered; }

private:
    bool usable() const { return m_store != nullptr && !m_unavailable; }
    void fellBack();

    harbrook::IPasswordStore* m_store;
    // After one NoKeyring answer the keyring is not asked again in this run: a locked or
    // hanging one would otherwise make the user wait for every password.
    bool m_unavailable = false;
    bool m_answered = false;
    bool m_noticeDue = false;
    bool m_noticeGiven = false;
    // What the keyring holds by key as far as this run knows, so an unchanged password
    // is not written again at every save.
    std::map<std::string, std::string> m_known;
};

// The keyring keys of the connection bar and of a saved site (by its lasting id, so a
// renamed site keeps its password).
std::string BarPasswordKey();
std::string SitePasswordKey(const std::string& siteId);
