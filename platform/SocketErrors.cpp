#include "platform/SocketErrors.h"

#include <cerrno>
#include <cstring>
#include <unordered_map>

namespace harbrook {

std::string socketErrorText(int error) {
    static const std::unordered_map<int, const char*> texts = {
        {kHostNotFoundError, "Host not found."},
        {EINTR, "Interrupted system call."},
        {EBADF, "Bad file number."},
        {EACCES, "Access denied."},
        {EFAULT, "Bad address."},
        {EINVAL, "Invalid argument."},
        {EMFILE, "Too many open files."},
        {EPIPE, "Broken pipe."},
        {EWOULDBLOCK, "Operation would block."},
        {EINPROGRESS, "Operation now in progress."},
        {EALREADY, "Operation already in progress."},
        {ENOTSOCK, "Socket operation on non-socket."},
        {EDESTADDRREQ, "Destination address required."},
        {EMSGSIZE, "Message too long."},
        {EPROTOTYPE, "Protocol wrong type for socket."},
        {ENOPROTOOPT, "Bad protocol option."},
        {EPROTONOSUPPORT, "Protocol not supported."},
        {ESOCKTNOSUPPORT, "Socket type not supported."},
        {EOPNOTSUPP, "Operation not supported on socket."},
        {EPFNOSUPPORT, "Protocol family not supported."},
        {EAFNOSUPPORT, "Address family not supported by protocol family."},
        {EADDRINUSE, "Address already in use."},
        {EADDRNOTAVAIL, "Cannot assign requested address."},
        {ENETDOWN, "Network is down."},
        {ENETUNREACH, "Network is unreachable."},
        {ENETRESET, "Net dropped connection or reset."},
        {ECONNABORTED, "Software caused connection abort."},
        {ECONNRESET, "Connection reset by peer."},
        {ENOBUFS, "No buffer space available."},
        {EISCONN, "Socket is already connected."},
        {ENOTCONN, "Socket is not connected."},
        {ESHUTDOWN, "Cannot send or receive after socket is closed."},
        {ETOOMANYREFS, "Too many references, cannot splice."},
        {ETIMEDOUT, "Connection timed out."},
        {ECONNREFUSED, "Connection refused."},
        {ELOOP, "Too many levels of symbolic links."},
        {ENAMETOOLONG, "File name too long."},
        {EHOSTDOWN, "Host is down."},
        {EHOSTUNREACH, "No route to host."},
    };
    if (auto found = texts.find(error); found != texts.end()) {
        return found->second;
    }
    return std::strerror(error);
}

std::string socketErrorMessage(int error) {
    return "Socket Error # " + std::to_string(error) + "\r\n" + socketErrorText(error);
}

}  // namespace harbrook
