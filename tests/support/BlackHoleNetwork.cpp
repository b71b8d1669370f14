#include "tests/support/BlackHoleNetwork.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace harbrook::testing {

namespace {

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

BlackHoleNetwork::BlackHoleNetwork() {
    if (::geteuid() != 0) {
        m_reason = "a network namespace needs root";
        return;
    }
    if (!run("command -v ip") || !run("command -v tc")) {
        m_reason = "iproute2 (ip, tc) is not installed";
        return;
    }
    // Names and a /30 of our own per process, so parallel test runs never meet.
    const int id = static_cast<int>(::getpid() % 16000);
    m_namespace = "hbhole" + std::to_string(id);
    const std::string nearIf = "hbn" + std::to_string(id);
    const std::string farIf = "hbf" + std::to_string(id);
    const std::string prefix = "10.213." + std::to_string(id / 64) + ".";
    const int base = (id % 64) * 4;
    m_near = prefix + std::to_string(base + 1);
    m_far = prefix + std::to_string(base + 2);
    const std::string inside = "ip netns exec " + m_namespace + " ";
    const std::vector<std::string> steps = {
        "ip netns add " + m_namespace,
        "ip link add " + nearIf + " type veth peer name " + farIf,
        "ip link set " + farIf + " netns " + m_namespace,
        "ip addr add " + m_near + "/30 dev " + nearIf,
        "ip link set " + nearIf + " up",
        inside + "ip addr add " + m_far + "/30 dev " + farIf,
        inside + "ip link set " + farIf + " up",
        inside + "tc qdisc add dev " + farIf + " root pfifo limit 0",
        // Without an answer to ARP the kernel would report "no route" after a few
        // seconds; a fixed neighbour makes it wait for the SYN-ACK that never comes.
        "ip neigh replace " + m_far + " lladdr 02:00:00:00:00:02 dev " + nearIf + " nud permanent",
    };
    m_nearIf = nearIf;
    for (const std::string& step : steps) {
        if (!run(step)) {
            m_reason = "could not make the black-hole network (" + step + ")";
            return;
        }
    }
}

BlackHoleNetwork::~BlackHoleNetwork() {
    if (!m_nearIf.empty()) {
        run("ip link del " + m_nearIf);
    }
    if (!m_namespace.empty()) {
        run("ip netns del " + m_namespace);
    }
}

}  // namespace harbrook::testing
