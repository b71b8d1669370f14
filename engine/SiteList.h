#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/SessionSetup.h"
#include "engine/StoredPasswords.h"

// A saved site of the site manager.
struct Site {
    // Given once and kept through renames: the keyring knows the site's password by it.
    std::string id;
    std::string name;
    std::string host;
    std::uint16_t port = 21;
    std::string user;
    // The password as far as this run knows it (see TSiteList::Password).
    std::string password;
    SessionSettings::Tls encryption = SessionSettings::Tls::None;
    bool passive = true;
    // Entered after the login; empty: the login's own.
    std::string remoteFolder;
    // Where downloads go by default; empty: the last one chosen.
    std::string localFolder;
};

// The sites in `sites.ini` beside the program's INI: one "[site]" section per site, in
// the user's order, each value written as a field ("%" and line ends escaped). Written
// whole and renamed, readable by the owner only. With a password keeper, the passwords
// rest in the keyring under each site's id and are read from it only when a site is
// shown or connected (a list of thousands of sites costs no keyring round trips).
class TSiteList {
public:
    explicit TSiteList(std::string path, TPasswordKeeper* passwords = nullptr)
        : m_path(std::move(path)), m_passwords(passwords) {}

    // Reads the file; a missing one is an empty list. A damaged section is left out and
    // counted in `Problems`; a second site of a name gets " (2)" (names stay unique).
    void Load();
    [[nodiscard]] bool Save();

    // The password of site `index`, read from the keyring the first time it is asked.
    std::string Password(int index);

    const std::vector<Site>& Sites() const { return m_sites; }
    // -1 when no site has the name.
    int Find(const std::string& name) const;
    // A new site named "New site" (numbered when taken); its index.
    int AddNew();
    // A copy of site `index` under "NAME (copy)"; its index.
    int Copy(int index);
    void Remove(int index);
    // False (and nothing changed) for an empty name or one another site has.
    bool Rename(int index, const std::string& name);
    // Everything but the name and the id.
    void Update(int index, const Site& site);
    int Problems() const { return m_problems; }

private:
    std::string freeName(const std::string& name) const;

    std::string m_path;
    TPasswordKeeper* m_passwords;
    std::vector<Site> m_sites;
    // The ids of the sites whose password this run knows (read from the file or the
    // keyring, or typed): only those are kept at a save, so a password that was never
    // read is never overwritten with nothing.
    std::unordered_set<std::string> m_known;
    int m_problems = 0;
};

// A new site id: 16 random hexadecimal digits.
std::string NewSiteId();

// The text of a sites file, and back (what Load and Save use).
std::string SiteListText(const std::vector<Site>& sites);
std::vector<Site> ParseSiteList(const std::string& text, int& problems);
