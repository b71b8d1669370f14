#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace harbrook::testing {

// The C servers the fixtures run (vsftpd, pure-ftpd, proftpd): started in a process
// group of their own that dies with the test process, waited for until they listen,
// and stopped with every session they forked.

// Starts `args` (the program first; `environment` lines "NAME=value" added) with its
// output thrown away. Returns the PID once 127.0.0.1:`port` accepts, or -1 when the
// program ended or did not listen within 5 s (then stopped).
pid_t startServerProcess(const std::vector<std::string>& args, std::uint16_t port,
                         const std::vector<std::string>& environment = {});

// Sends `signal` (0: none) to every process whose command line holds `marker` (sessions
// that left the group are found so); answers how many there are.
int signalProcessesNaming(const std::string& marker, int signal);

// SIGTERM to the group, the stragglers that name `marker` killed, SIGKILL after 3 s;
// sets `pid` to -1.
void stopServerProcess(pid_t& pid, const std::string& marker);

}  // namespace harbrook::testing
