#pragma once

#include <string>
#include <vector>

namespace harbrook::testing {

// A network namespace of the test's own, joined to this one by a veth pair with a /30 of
// its own (names and addresses per process, so parallel test runs never meet). Needs
// root and iproute2; the namespace and the pair go away with the object.
class VethNamespace {
public:
    VethNamespace(const std::string& kind, int subnet);
    ~VethNamespace();
    VethNamespace(const VethNamespace&) = delete;
    VethNamespace& operator=(const VethNamespace&) = delete;

    // Why it could not be made; empty when it stands.
    const std::string& unavailableReason() const { return m_reason; }
    // This side's address and the one inside the namespace.
    const std::string& nearAddress() const { return m_near; }
    const std::string& address() const { return m_far; }
    // `program` and its arguments run inside the namespace.
    std::vector<std::string> inside(const std::string& program, std::vector<std::string> args) const;
    // The command (with its arguments) that runs what follows it inside the namespace.
    std::vector<std::string> launcher() const { return {"/usr/sbin/ip", "netns", "exec", m_namespace}; }

protected:
    // Runs the steps (ip, tc) in order; on the first that fails, says so and stops.
    bool runSteps(const std::vector<std::string>& steps);
    // "ip netns exec NAME " for a step inside.
    std::string insidePrefix() const { return "ip netns exec " + m_namespace + " "; }

    std::string m_namespace;
    std::string m_nearIf;
    std::string m_farIf;
    std::string m_near;
    std::string m_far;
    std::string m_reason;
};

// A host that never answers, for real: the namespace's side drops every packet it would
// send (pfifo with no room). The address is reachable (its neighbour entry is fixed), so
// a connect to it sends SYNs that get no answer at all, as on a black-holed route.
class BlackHoleNetwork : public VethNamespace {
public:
    BlackHoleNetwork();
};

// A slow link (a token bucket at `kbitPerSecond` both ways, so a transfer can be caught
// in the middle) that can be pulled like a cable: drop() throws away every packet both
// ways without a reset; restore() makes it a slow link again.
class DroppableLink : public VethNamespace {
public:
    explicit DroppableLink(int kbitPerSecond);
    void drop();
    void restore();

private:
    std::string m_rate;
};

}  // namespace harbrook::testing
