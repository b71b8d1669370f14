#pragma once

#include <string>

#include "platform/PasswordStore.h"

namespace QKeychain {
class Job;
}

namespace harbrook {

// The desktop's Secret Service (GNOME Keyring, KWallet, KeePassXC...) through
// QtKeychain. Each request waits at most `timeoutMs` for its answer, with the event loop
// running but user input held back; a keyring that is that slow once is not asked again
// in this run, so a hanging one costs the user one wait, not one per password.
class TKeychainPasswords : public IPasswordStore {
public:
    explicit TKeychainPasswords(std::string service = "Harbrook", int timeoutMs = 3000);

    PasswordAnswer Read(const std::string& key, std::string& password) override;
    PasswordAnswer Write(const std::string& key, const std::string& password) override;
    PasswordAnswer Remove(const std::string& key) override;
    std::string Problem() const override { return m_problem; }

private:
    PasswordAnswer run(QKeychain::Job* job, const std::string& key);

    std::string m_service;
    int m_timeoutMs;
    bool m_gaveUp = false;
    std::string m_problem;
};

}  // namespace harbrook
