#pragma once

#include <string>

namespace harbrook {

// What a password store said to one request.
enum class PasswordAnswer {
    Done,       // stored, read or removed
    NotFound,   // the store answered and has nothing under the key
    NoKeyring,  // no store answered (none running, locked, refused, or too slow)
};

// The desktop's keyring, or a stand-in for it: passwords by key, kept outside the
// program's own files. Used on the GUI thread only.
class IPasswordStore {
public:
    virtual ~IPasswordStore() = default;
    virtual PasswordAnswer Read(const std::string& key, std::string& password) = 0;
    virtual PasswordAnswer Write(const std::string& key, const std::string& password) = 0;
    virtual PasswordAnswer Remove(const std::string& key) = 0;
    // Why the last NoKeyring answer came, in words for the user.
    virtual std::string Problem() const = 0;
};

}  // namespace harbrook
