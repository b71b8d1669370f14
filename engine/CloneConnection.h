#pragma once

#include <cstdint>
#include <string>

#include "ftp/client/IdFTP.h"
#include "ftp/transport/IdSSLOpenSSL.h"

// What a second session like the main one needs: the main client's settings (host,
// port, account, passive mode, time-outs, TLS settings) and its current folder. Taken
// where the main client lives (the remote session's thread), used on a worker thread.
struct CloneSnapshot {
    std::string host;
    std::uint16_t port = 21;
    std::string user;
    std::string password;
    bool passive = false;
    bool useExtensionDataPort = false;
    int connectTimeout = 0;
    int readTimeout = 0;
    int listenTimeout = 0;
    int transferTimeout = 0;
    TIdIPVersion ipVersion = Id_IPv4;
    // Listing with MLSD where offered, and OPTS UTF8 ON: names as the main session has them.
    bool useMLIS = false;
    bool askForUtf8 = false;
    // TLS when the main session is encrypted (then required of the clone); off when the
    // main session runs in plain text, as the user agreed to.
    bool tls = false;
    TIdSSLOptions sslOptions;
    TIdUseTLS useTLS = utNoTLSSupport;
    TAuthCmd authCmd = tAuto;
    TIdFTPDataPortSecurity dataPortProtection = ftpdpsClear;
    // The certificate the main connection presented and the user accepted: a clone
    // must meet the very same one and asks nothing.
    std::string peerFingerprint;
    // The main client's PWD; unknown when it failed.
    std::string folder;
    bool folderKnown = false;
};

// Copies the main client's settings and asks it for its current folder (PWD, on the
// main connection: call it on the thread that owns the main client). A failed PWD
// leaves the folder unknown.
CloneSnapshot TakeCloneSnapshot(TIdFTP& main);
// Connects `clone` from the snapshot, gives it the transfer blocks of SessionSetup.h and changes it into
// the snapshot's folder; safe on any thread, it touches only the clone. Errors are
// swallowed: Connected() tells whether it worked.
void ConnectClone(const CloneSnapshot& snapshot, TIdFTP& clone);
// Both steps on one thread.
void CloneConnection(TIdFTP& main, TIdFTP& clone);
