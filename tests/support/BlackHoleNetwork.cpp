#include "tests/support/BlackHoleNetwork.h"

#include <unistd.h>

#include <cstdlib>

namespace harbrook::testing {

namespace {

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

VethNamespace::VethNamespace(const std::string& kind, int subnet) {
    if (::geteuid() != 0) {
        m_reason = "a network namespace needs root";
        return;
    }
    if (!run("command -v ip") || !run("command -v tc")) {
        m_reason = "iproute2 (ip, tc) is not installed";
        return;
    }
    const int id = static_cast<int>(::getpid() % 16000);
    m_namespace = "hb" + kind + std::to_string(id);
    const std::string nearIf = "hbn" + kind.substr(0, 1) + std::to_string(id);
    m_farIf = "hbf" + kind.substr(0, 1) + std::to_string(id);
    const std::string prefix = "10." + std::to_string(subnet) + "." + std::to_string(id / 64) + ".";
    const int base = (id % 64) * 4;
    m_near = prefix + std::to_string(base + 1);
    m_far = prefix + std::to_string(base + 2);
    if (!runSteps({"ip netns add " + m_namespace})) {
        m_namespace.clear();
        return;
    }
    if (!runSteps({"ip link add " + nearIf + " type veth peer name " + m_farIf})) {
        return;
    }
    m_nearIf = nearIf;
    runSteps({
        "ip link set " + m_farIf + " netns " + m_namespace,
        "ip addr add " + m_near + "/30 dev " + m_nearIf,
        "ip link set " + m_nearIf + " up",
        insidePrefix() + "ip addr add " + m_far + "/30 dev " + m_farIf,
        insidePrefix() + "ip link set " + m_farIf + " up",
        insidePrefix() + "ip link set lo up",
    });
}

VethNamespace::~VethNamespace() {
    if (!m_nearIf.empty()) {
        run("ip link del " + m_nearIf);
    }
    if (!m_namespace.empty()) {
        run("ip netns del " + m_namespace);
    }
}

bool VethNamespace::runSteps(const std::vector<std::string>& steps) {
    for (const std::string& step : steps) {
        if (!m_reason.empty()) {
            return false;
        }
        if (!run(step)) {
            m_reason = "could not make the test's network (" + step + ")";
        }
    }
    return m_reason.empty();
}

std::vector<std::string> VethNamespace::inside(const std::string& program, std::vector<std::string> args) const {
    std::vector<std::string> all = {"netns", "exec", m_namespace, program};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

BlackHoleNetwork::BlackHoleNetwork() : VethNamespace("hole", 213) {
    runSteps({
        insidePrefix() + "tc qdisc add dev " + m_farIf + " root pfifo limit 0",
        // Without an answer to ARP the kernel would report "no route" after a few
        // seconds; a fixed neighbour makes it wait for the SYN-ACK that never comes.
        "ip neigh replace " + m_far + " lladdr 02:00:00:00:00:02 dev " + m_nearIf + " nud permanent",
    });
}

DroppableLink::DroppableLink(int kbitPerSecond)
    : VethNamespace("link", 214), m_rate(std::to_string(kbitPerSecond) + "kbit") {
    restore();
}

void DroppableLink::restore() {
    // Both ends: each shapes what it sends.
    runSteps({
        "tc qdisc replace dev " + m_nearIf + " root tbf rate " + m_rate + " burst 32kbit latency 400ms",
        insidePrefix() + "tc qdisc replace dev " + m_farIf + " root tbf rate " + m_rate +
            " burst 32kbit latency 400ms",
    });
}

void DroppableLink::drop() {
    runSteps({
        "tc qdisc replace dev " + m_nearIf + " root pfifo limit 0",
        insidePrefix() + "tc qdisc replace dev " + m_farIf + " root pfifo limit 0",
    });
}

}  // namespace harbrook::testing
