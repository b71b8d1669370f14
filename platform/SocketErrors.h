#pragma once

#include <string>

namespace harbrook {

// A host name that does not resolve has no errno of its own; resolution failures are
// reported with this number so they read like the other socket errors.
inline constexpr int kHostNotFoundError = 11001;

// The short English text shown for a socket error number ("Connection refused.").
std::string socketErrorText(int error);

// "Socket Error # 111" CR LF "Connection refused."
std::string socketErrorMessage(int error);

}  // namespace harbrook
