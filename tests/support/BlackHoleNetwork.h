#pragma once

#include <string>

namespace harbrook::testing {

// A host that never answers, for real: a network namespace of the test's own, joined
// to this one by a veth pair, whose side drops every packet it would send (pfifo with
// no room). The address is reachable (its neighbour entry is fixed), so a connect to it
// sends SYNs that get no answer at all, as on a black-holed route. Needs root and
// iproute2; the namespace and the pair go away with the object.
class BlackHoleNetwork {
public:
    BlackHoleNetwork();
    ~BlackHoleNetwork();
    BlackHoleNetwork(const BlackHoleNetwork&) = delete;
    BlackHoleNetwork& operator=(const BlackHoleNetwork&) = delete;

    // Why it could not be made; empty when it stands.
    const std::string& unavailableReason() const { return m_reason; }
    // The address inside the namespace.
    const std::string& address() const { return m_far; }

private:
    std::string m_namespace;
    std::string m_nearIf;
    std::string m_near;
    std::string m_far;
    std::string m_reason;
};

}  // namespace harbrook::testing
