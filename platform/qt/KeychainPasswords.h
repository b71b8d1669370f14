#pragma once

#include <string>

#include "platform/PasswordStore.h"

namespace harbrook {

// The desktop's Secret Service (GNOME Keyring, KWallet, KeePassXC...) through
// QtKeychain. The keyring is asked from a thread of its own (one for the process) and the caller waits at most
// `timeoutMs` for the answer, without running the event loop meanwhile: a nested loop
// would let a close or a signal act in the middle of reading a setting. A keyring that is
// that slow once is not asked again in this run, so a hanging one costs the user one
// wait, not one per password.
class TKeychainPasswords : public IPasswordStore {
public:
    explicit TKeychainPasswords(std::string service = "Harbrook", int timeoutMs = 3000);

    PasswordAnswer Read(const std::string& key, std::string& password) override;
    PasswordAnswer Write(const std::string& key, const std::string& password) override;
    PasswordAnswer Remove(const std::string& key) override;
    std::string Problem() const override { return m_problem; }

private:
    enum class Request { Read, Write, Remove };
    PasswordAnswer run(Request request, const std::string& key, std::string& data);

    std::string m_service;
    int m_timeoutMs;
    bool m_gaveUp = false;
    std::string m_problem;
};

}  // namespace harbrook
