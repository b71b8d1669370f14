#pragma once

#include <string>
#include <vector>

#include "ftp/IdException.h"
#include "ftp/client/IdFTP.h"
#include "tests/support/ScriptedFtpServer.h"

namespace harbrook::testing {

using Lines = std::vector<std::string>;

// A TIdFTP pointed at a scripted server, logging in as "u" with password "p".
struct ScriptedFtp {
    explicit ScriptedFtp(FtpScript script) : server(std::move(script)) {
        ftp.SetHost(server.host());
        ftp.SetPort(server.port());
        ftp.SetUsername("u");
        ftp.SetPassword("p");
        ftp.SetReadTimeout(2000);
    }
    void useTLS(TIdUseTLS policy) {
        ftp.SetIOHandler(&tls);
        ftp.SetUseTLS(policy);
    }
    // Everything the client sent, once it has disconnected.
    Lines transcript() {
        ftp.Disconnect();
        server.waitUntilFinished();
        return server.received();
    }

    ScriptedFtpServer server;
    TIdSSLIOHandlerSocketOpenSSL tls;
    TIdFTP ftp;
};

// The greeting and a plain USER/PASS login.
inline FtpScript greetAndLogin() {
    return FtpScript().reply("220 ready").on("USER u", "331 Password please").on("PASS p", "230 In");
}

// What follows a login: FEAT, SYST and TYPE.
inline FtpScript& afterLogin(FtpScript& script) {
    return script.on("FEAT", "211-Features:\r\n MDTM\r\n SIZE\r\n211 End")
        .on("SYST", "215 UNIX Type: L8")
        .on("TYPE I", "200 Type set to I");
}

inline FtpScript loggedIn() {
    FtpScript script = greetAndLogin();
    return afterLogin(script);
}

// A passive LIST sending `lines` (in ASCII, then back to binary).
inline FtpScript& listing(FtpScript& script, const std::string& lines) {
    return script.on("TYPE A", "200 ok")
        .passive("PASV", "227 Entering Passive Mode (127,0,0,1,{p1},{p2})")
        .acceptData()
        .on("LIST", "150 Here it comes")
        .sendData(lines)
        .closeData()
        .reply("226 Done")
        .on("TYPE I", "200 ok");
}

// The window's reload of a folder: PWD answering `folder`, then the listing.
inline FtpScript& listFolder(FtpScript& script, const std::string& folder, const std::string& lines) {
    return listing(script.on("PWD", "257 \"" + folder + "\""), lines);
}

// A login, then PWD answering `folder` and a LIST the server never sends (the data
// connection accepted, nothing on it, no reply).
inline FtpScript stalledListing(const std::string& folder) {
    FtpScript script = loggedIn();
    script.on("PWD", "257 \"" + folder + "\"")
        .on("TYPE A", "200 ok")
        .passive("PASV", "227 Entering Passive Mode (127,0,0,1,{p1},{p2})")
        .acceptData()
        .expect("LIST")
        .hang();
    return script;
}

// Message of the exception `action` throws; a test failure when it throws none.
template <typename Action>
std::string errorOf(Action action) {
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    }
    ADD_FAILURE() << "no error raised";
    return {};
}

}  // namespace harbrook::testing
