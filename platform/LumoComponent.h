#pragma once

#include <string>

// The kit's non-visual component base: a revision text that writing does not change.
class TLumo_Custom_Component {
public:
    virtual ~TLumo_Custom_Component() = default;
    virtual std::string Version() const = 0;
    void SetVersion(const std::string&) {}
};
