#include "engine/CloneConnection.h"

#include <memory>

#include "engine/SessionSetup.h"

CloneSnapshot TakeCloneSnapshot(TIdFTP& main) {
    CloneSnapshot snapshot;
    snapshot.host = main.Host();
    snapshot.port = main.Port();
    snapshot.user = main.Username();
    snapshot.password = main.Password();
    snapshot.passive = main.Passive();
    snapshot.useExtensionDataPort = main.UseExtensionDataPort();
    snapshot.connectTimeout = main.ConnectTimeout();
    snapshot.readTimeout = main.ReadTimeout();
    snapshot.listenTimeout = main.ListenTimeout();
    snapshot.transferTimeout = main.TransferTimeout();
    snapshot.ipVersion = main.IPVersion();
    snapshot.useMLIS = main.UseMLIS();
    snapshot.askForUtf8 = main.AskForUtf8();
    // The clone speaks to the same port with the same TLS as the main session: on any
    // other port, or with the password sent in clear text where the session is
    // encrypted, it would fail or leak. It must meet the certificate the main session
    // accepted, so the user is asked once per session, never from a worker.
    if (const auto* tls = dynamic_cast<const TIdSSLIOHandlerSocketOpenSSL*>(main.IOHandler());
        tls != nullptr && main.UseTLS() != utNoTLSSupport && main.IsTLSInUse()) {
        snapshot.tls = true;
        snapshot.sslOptions = tls->SSLOptions();
        snapshot.useTLS = main.UseTLS() == utUseImplicitTLS ? utUseImplicitTLS : utUseRequireTLS;
        snapshot.authCmd = main.AUTHCmd();
        snapshot.dataPortProtection = main.DataPortProtection();
        snapshot.peerFingerprint = main.PeerCertificate().Sha256;
    }
    try {
        snapshot.folder = main.CurrentDirectory();
        snapshot.folderKnown = true;
    } catch (const std::exception&) {
        // The clone will not connect; its caller learns that from Connected().
    }
    return snapshot;
}

void ConnectClone(const CloneSnapshot& snapshot, TIdFTP& clone) {
    if (!snapshot.folderKnown) {
        return;
    }
    clone.SetPassive(snapshot.passive);
    clone.SetUsername(snapshot.user);
    clone.SetPassword(snapshot.password);
    clone.SetConnectTimeout(snapshot.connectTimeout);
    clone.SetReadTimeout(snapshot.readTimeout);
    clone.SetListenTimeout(snapshot.listenTimeout);
    clone.SetTransferTimeout(snapshot.transferTimeout);
    clone.SetIPVersion(snapshot.ipVersion);
    if (snapshot.useExtensionDataPort) {
        clone.SetUseExtensionDataPort(true);
    }
    clone.SetUseMLIS(snapshot.useMLIS);
    clone.SetAskForUtf8(snapshot.askForUtf8);
    clone.SetAutoLogin(true);
    clone.SetPort(snapshot.port);
    if (snapshot.tls) {
        auto handler = std::make_unique<TIdSSLIOHandlerSocketOpenSSL>();
        handler->SSLOptions() = snapshot.sslOptions;
        clone.SetIOHandler(std::move(handler));
        clone.SetUseTLS(snapshot.useTLS);
        clone.SetAUTHCmd(snapshot.authCmd);
        clone.SetDataPortProtection(snapshot.dataPortProtection);
        clone.SetRequiredPeerFingerprints({snapshot.peerFingerprint});
    }
    try {
        clone.Connect(snapshot.host);
        clone.IOHandler()->SetLargeStream(true);
        // The command line's blocks: the workers move data as fast as it does.
        clone.IOHandler()->SetRecvBufferSize(kTransferReadBlockSize);
        clone.IOHandler()->SetSendBufferSize(kTransferWriteBlockSize);
        clone.ChangeDirectory(snapshot.folder);
    } catch (const std::exception&) {
        // The caller looks at Connected() to learn whether the clone can be used.
        try {
            if (clone.Connected()) {
                clone.Disconnect();
            }
        } catch (const std::exception&) {
            // Already giving up on this connection.
        }
    }
}

void CloneConnection(TIdFTP& main, TIdFTP& clone) {
    ConnectClone(TakeCloneSnapshot(main), clone);
}
