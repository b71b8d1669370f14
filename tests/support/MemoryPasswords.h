#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/PasswordStore.h"

namespace harbrook::testing {

// A keyring in memory that records what was asked of it, and can be told to be absent.
class MemoryPasswords : public IPasswordStore {
public:
    std::map<std::string, std::string> entries;
    // "read KEY", "write KEY", "remove KEY", in order.
    std::vector<std::string> requests;
    bool absent = false;

    PasswordAnswer Read(const std::string& key, std::string& password) override {
        requests.push_back("read " + key);
        if (absent) {
            return PasswordAnswer::NoKeyring;
        }
        const auto found = entries.find(key);
        if (found == entries.end()) {
            return PasswordAnswer::NotFound;
        }
        password = found->second;
        return PasswordAnswer::Done;
    }
    PasswordAnswer Write(const std::string& key, const std::string& password) override {
        requests.push_back("write " + key);
        if (absent) {
            return PasswordAnswer::NoKeyring;
        }
        entries[key] = password;
        return PasswordAnswer::Done;
    }
    PasswordAnswer Remove(const std::string& key) override {
        requests.push_back("remove " + key);
        if (absent) {
            return PasswordAnswer::NoKeyring;
        }
        entries.erase(key);
        return PasswordAnswer::Done;
    }
    std::string Problem() const override { return "the test keyring is switched off"; }
};

}  // namespace harbrook::testing
