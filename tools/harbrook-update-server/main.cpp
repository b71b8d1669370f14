// harbrook-update-server: the reference server of Harbrook's update protocol. It serves
// a message, the newest build number and the installer from one folder:
//   FOLDER/message.txt          the message lines (no file or an empty one: no message)
//   FOLDER/build.txt            the newest build number
//   FOLDER/HarbrookInstall.exe  the installer
//   FOLDER/HarbrookInstall.exe.sig  its signature (harbrook-update-server sign)
// Each connection is one exchange: "HarbrookUpdate", a command (GETMESSAGE, GETBUILD,
// GETFILE) and its argument, each a line; the answer follows and the server closes.
// Usage: harbrook-update-server [--port N] FOLDER   (port 4995 by default)
//        harbrook-update-server keygen PRIVATE.pem PUBLIC.pem
//        harbrook-update-server sign PRIVATE.pem FILE      (writes FILE.sig)

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "platform/SocketHandle.h"
#include "update/UpdateSignature.h"

namespace {

constexpr std::size_t kMaxLine = 1024;
constexpr int kClientTimeoutSeconds = 10;
std::mutex logLock;

void logLine(const std::string& peer, const std::string& text) {
    std::lock_guard guard(logLock);
    const std::time_t now = std::time(nullptr);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    std::cout << stamp << " " << peer << " " << text << std::endl;
}

bool sendAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// One line up to LF (a CR before it dropped); nothing on a closed connection, a time-out
// or a line longer than kMaxLine.
std::optional<std::string> readLine(int fd, std::string& buffer) {
    for (;;) {
        const std::size_t end = buffer.find('\n');
        if (end != std::string::npos) {
            std::string line = buffer.substr(0, end);
            buffer.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            return line;
        }
        if (buffer.size() > kMaxLine) {
            return std::nullopt;
        }
        char chunk[512];
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return std::nullopt;
        }
        buffer.append(chunk, static_cast<std::size_t>(got));
    }
}

std::optional<std::string> readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void serve(int fd, const std::string& peer, const std::string& folder) {
    std::string buffer;
    const auto greeting = readLine(fd, buffer);
    const auto command = greeting ? readLine(fd, buffer) : std::nullopt;
    const auto argument = command ? readLine(fd, buffer) : std::nullopt;
    if (!argument || *greeting != "HarbrookUpdate") {
        logLine(peer, "closed: not an update request");
        return;
    }
    if (*command == "GETMESSAGE") {
        const auto message = readFile(folder + "/message.txt");
        std::string reply;
        std::istringstream lines(message.value_or(""));
        std::string line;
        int count = 0;
        while (std::getline(lines, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (!line.empty()) {
                reply += line + "\r\n";
                ++count;
            }
        }
        sendAll(fd, count > 0 ? "YES\r\n" + reply + "\r\n" : std::string("NO\r\n"));
        logLine(peer, "GETMESSAGE " + *argument + ": " + std::to_string(count) + " line(s)");
    } else if (*command == "GETBUILD") {
        const auto build = readFile(folder + "/build.txt");
        std::string number = build.value_or("");
        number = number.substr(0, number.find_first_of("\r\n"));
        sendAll(fd, build ? "YES\r\n" + number + "\r\n" : std::string("NO\r\n"));
        logLine(peer, "GETBUILD " + *argument + ": " + (build ? number : "no build file"));
    } else if (*command == "GETFILE" && (*argument == "HarbrookInstall.exe" || *argument == "HarbrookInstall.exe.sig")) {
        // Only the installer and its signature are served: no name from a client ever
        // reaches the disk.
        std::ifstream file(folder + "/" + *argument, std::ios::binary | std::ios::ate);
        if (!file) {
            sendAll(fd, "YES\r\nERR\r\n");
            logLine(peer, "GETFILE: no " + *argument);
            return;
        }
        const std::streamoff size = file.tellg();
        file.seekg(0);
        bool sent = sendAll(fd, "YES\r\n" + std::to_string(size) + "\r\n");
        char chunk[65536];
        while (sent && file) {
            file.read(chunk, sizeof chunk);
            sent = sendAll(fd, std::string(chunk, static_cast<std::size_t>(file.gcount())));
        }
        logLine(peer, "GETFILE " + *argument + ": " + std::to_string(size) + " bytes" +
                          (sent ? "" : " (client went away)"));
    } else {
        sendAll(fd, "NO\r\n");
        logLine(peer, "unknown request " + *command + " " + *argument);
    }
}

}  // namespace

// Writes the text to a new file readable by its owner only (a private key).
bool writePrivately(const std::string& path, const std::string& text, mode_t mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        return false;
    }
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    return ::close(fd) == 0 && written;
}

// keygen and sign: what whoever publishes an update needs.
int publisherCommand(const std::string& command, const std::string& first, const std::string& second) {
    if (command == "keygen") {
        std::string privatePem;
        std::string publicPem;
        if (!harbrook::update::MakeSigningKeys(privatePem, publicPem) || !writePrivately(first, privatePem, 0600) ||
            !writePrivately(second, publicPem, 0644)) {
            std::cerr << "harbrook-update-server: cannot make the keys (do " << first << " or " << second
                      << " exist already?)\n";
            return 1;
        }
        std::cout << "private key " << first << ", public key " << second
                  << " (build Harbrook with -DHARBROOK_UPDATE_PUBLIC_KEY=" << second << ")\n";
        return 0;
    }
    const auto key = readFile(first);
    const auto signature = key ? harbrook::update::SignFile(second, *key) : std::nullopt;
    std::ofstream out(second + ".sig", std::ios::binary | std::ios::trunc);
    if (!signature || !out.write(signature->data(), static_cast<std::streamsize>(signature->size()))) {
        std::cerr << "harbrook-update-server: cannot sign " << second << " with " << first << "\n";
        return 1;
    }
    std::cout << "signed " << second << ": " << second << ".sig\n";
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 4 && (std::string(argv[1]) == "keygen" || std::string(argv[1]) == "sign")) {
        return publisherCommand(argv[1], argv[2], argv[3]);
    }
    int port = 4995;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--port" && i + 1 < argc) {
            port = std::atoi(argv[++i]);
        } else if (arg == "--help") {
            std::cout << "Usage: harbrook-update-server [--port N] FOLDER\n"
                         "       harbrook-update-server keygen PRIVATE.pem PUBLIC.pem\n"
                         "       harbrook-update-server sign PRIVATE.pem FILE\n"
                         "Serves FOLDER/message.txt, FOLDER/build.txt, FOLDER/HarbrookInstall.exe and its\n"
                         "signature FOLDER/HarbrookInstall.exe.sig to Harbrook's update window (port 4995\n"
                         "by default; 0 picks a free one). keygen makes a signing key pair (Ed25519);\n"
                         "sign writes FILE.sig, which Harbrook checks against the public key it was\n"
                         "built with before it offers to start an update.\n";
            return 0;
        } else {
            folder = arg;
        }
    }
    if (folder.empty() || port < 0 || port > 65535) {
        std::cerr << "Usage: harbrook-update-server [--port N] FOLDER\n";
        return 2;
    }
    ::signal(SIGPIPE, SIG_IGN);
    const harbrook::SocketHandle listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!listener) {
        std::cerr << "harbrook-update-server: cannot make a socket: " << std::strerror(errno) << "\n";
        return 1;
    }
    const int on = 1;
    ::setsockopt(listener.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener.get(), 16) != 0) {
        std::cerr << "harbrook-update-server: cannot listen on port " << port << ": " << std::strerror(errno) << "\n";
        return 1;
    }
    socklen_t length = sizeof address;
    ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length);
    logLine("-", "listening on port " + std::to_string(ntohs(address.sin_port)) + ", serving " + folder);
    for (;;) {
        sockaddr_in peer{};
        socklen_t peerLength = sizeof peer;
        harbrook::SocketHandle client(
            ::accept4(listener.get(), reinterpret_cast<sockaddr*>(&peer), &peerLength, SOCK_CLOEXEC));
        if (!client) {
            continue;
        }
        timeval timeout{kClientTimeoutSeconds, 0};
        ::setsockopt(client.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        ::setsockopt(client.get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        char ip[INET_ADDRSTRLEN] = "?";
        ::inet_ntop(AF_INET, &peer.sin_addr, ip, sizeof ip);
        const std::string name = std::string(ip) + ":" + std::to_string(ntohs(peer.sin_port));
        // The connection's thread owns its socket and closes it when it is done.
        std::thread([connection = std::move(client), name, folder] { serve(connection.get(), name, folder); })
            .detach();
    }
}
