#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/SessionSetup.h"

// A saved site of the site manager.
struct Site {
    std::string name;
    std::string host;
    std::uint16_t port = 21;
    std::string user;
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
// whole and renamed, readable by the owner only.
class TSiteList {
public:
    explicit TSiteList(std::string path) : m_path(std::move(path)) {}

    // Reads the file; a missing one is an empty list. A damaged section is left out and
    // counted in `Problems`; a second site of a name gets " (2)" (names stay unique).
    void Load();
    [[nodiscard]] bool Save() const;

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
    // Everything but the name.
    void Update(int index, const Site& site);
    int Problems() const { return m_problems; }

private:
    std::string freeName(const std::string& name) const;

    std::string m_path;
    std::vector<Site> m_sites;
    int m_problems = 0;
};

// The text of a sites file, and back (what Load and Save use).
std::string SiteListText(const std::vector<Site>& sites);
std::vector<Site> ParseSiteList(const std::string& text, int& problems);
