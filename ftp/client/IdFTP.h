#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ftp/transport/IdExplicitTLSClient.h"
#include "ftp/client/IdFTPCommandText.h"
#include "ftp/client/IdFTPDataTransfer.h"
#include "ftp/listing/IdFTPList.h"
#include "platform/Stream.h"

class TIdSimpleServer;

enum TIdFTPTransferType { ftASCII, ftBinary };
enum TAuthCmd { tAuto, tAuthTLS, tAuthSSL, tAuthTLSC, tAuthTLSP };
enum TIdFTPDataPortSecurity { ftpdpsClear, ftpdpsPrivate };
enum TIdFtpProxyType {
    fpcmNone,
    fpcmUserSite,
    fpcmSite,
    fpcmOpen,
    fpcmUserPass,
    fpcmTransparent,
    fpcmUserHostFireWallID,
    fpcmNovellBorder,
    fpcmHttpProxyWithFtp,
    fpcmCustomProxy,
};

struct TIdFtpProxySettings {
    TIdFtpProxyType ProxyType = fpcmNone;
    std::string Host;
    std::string UserName;
    std::string Password;
    std::uint16_t Port = 0;
};

// What CLNT tells the server about us.
class TIdFTPClientIdentifier {
public:
    const std::string& ClientName() const { return m_clientName; }
    // Stored trimmed and cut at the first space.
    void SetClientName(const std::string& name);
    const std::string& ClientVersion() const { return m_clientVersion; }
    void SetClientVersion(const std::string& version);
    const std::string& PlatformDescription() const { return m_platformDescription; }
    void SetPlatformDescription(const std::string& text) { m_platformDescription = text; }
    // Name, then " " + version, then " " + platform when both are set; empty without
    // a name.
    std::string ClientInfo() const;

private:
    std::string m_clientName;
    std::string m_clientVersion;
    std::string m_platformDescription;
};

// The server's offset from GMT, learned from SITE ZONE; in days (a fraction), negative
// east of Greenwich as the server reports it.
struct TIdFTPTZInfo {
    double GMTOffset = 0;
    bool GMTOffsetAvailable = false;
};

// The text of the last listing as lines, and what kind of listing it was.
struct TIdFTPListResult {
    TIdListingLines Lines;
    bool Detailed = false;
    bool MachineList = false;
};

using TIdFTPBannerEvent = std::function<void(const std::string& text)>;
using TIdNeedAccountEvent = std::function<void(std::string& account)>;
using TIdFTPStreamEvent = std::function<void(harbrook::TStream& stream)>;
using TIdDataChannelEvent = std::function<void(TIdTCPConnection& channel)>;
// Given the server's certificate when it is not trusted; set `accept` to go on.
using TIdVerifyPeerEvent = std::function<void(const TIdPeerCertificate& certificate, bool& accept)>;

// The FTP client: session set-up and login, and the single commands on the control
// connection.
class TIdListingParseAhead;

class TIdFTP : public TIdExplicitTLSClient {
public:
    TIdFTP();
    ~TIdFTP() override;

    // Settings.
    const std::string& Username() const { return m_username; }
    void SetUsername(const std::string& name) { m_username = name; }
    const std::string& Password() const { return m_password; }
    void SetPassword(const std::string& password) { m_password = password; }
    const std::string& Account() const { return m_account; }
    void SetAccount(const std::string& account) { m_account = account; }
    bool AutoLogin() const { return m_autoLogin; }
    void SetAutoLogin(bool autoLogin) { m_autoLogin = autoLogin; }

    void SetUseTLS(TIdUseTLS value) override;
    void SetIOHandler(TIdIOHandler* handler) override;
    using TIdExplicitTLSClient::SetIOHandler;
    TAuthCmd AUTHCmd() const { return m_authCmd; }
    void SetAUTHCmd(TAuthCmd value);
    TIdFTPDataPortSecurity DataPortProtection() const { return m_dataPortProtection; }
    void SetDataPortProtection(TIdFTPDataPortSecurity value);
    bool UseCCC() const { return m_useCCC; }
    void SetUseCCC(bool value);
    TIdFTPTransferType TransferType() const { return m_transferType; }
    // When connected, tells the server at once.
    void SetTransferType(TIdFTPTransferType value);
    bool UseExtensionDataPort() const { return m_useExtensionDataPort; }
    void SetUseExtensionDataPort(bool value);
    bool TryNATFastTrack() const { return m_tryNATFastTrack; }
    void SetTryNATFastTrack(bool value);
    bool Passive() const { return m_passive; }
    void SetPassive(bool value);
    bool UseMLIS() const { return m_useMLIS; }
    void SetUseMLIS(bool value) { m_useMLIS = value; }
    // After the login, when the server's FEAT lists UTF8, "OPTS UTF8 ON" (some servers
    // send names in UTF-8 only after it); whatever the server answers, the session goes
    // on.
    bool AskForUtf8() const { return m_askForUtf8; }
    void SetAskForUtf8(bool value) { m_askForUtf8 = value; }
    void SetIPVersion(TIdIPVersion version);
    bool PassiveUseControlHost() const { return m_passiveUseControlHost; }
    void SetPassiveUseControlHost(bool value) { m_passiveUseControlHost = value; }
    std::uint16_t DataPort() const { return m_dataPort; }
    void SetDataPort(std::uint16_t port) { m_dataPort = port; }
    std::uint16_t DataPortMin() const { return m_dataPortMin; }
    void SetDataPortMin(std::uint16_t port) { m_dataPortMin = port; }
    std::uint16_t DataPortMax() const { return m_dataPortMax; }
    void SetDataPortMax(std::uint16_t port) { m_dataPortMax = port; }
    const std::string& ExternalIP() const { return m_externalIP; }
    void SetExternalIP(const std::string& ip) { m_externalIP = ip; }
    // Read time-out on data connections; 0 waits without limit.
    int TransferTimeout() const { return m_transferTimeout; }
    void SetTransferTimeout(int ms) { m_transferTimeout = ms; }
    // How long the active-mode listener waits for the server; -1 without limit.
    int ListenTimeout() const { return m_listenTimeout; }
    void SetListenTimeout(int ms) { m_listenTimeout = ms; }
    TIdFtpProxySettings& ProxySettings() { return m_proxySettings; }
    TIdFTPClientIdentifier& ClientInfo() { return m_clientInfo; }

    // Session state, cleared at every Connect.
    const std::vector<std::string>& Capabilities() const { return m_capabilities; }
    const std::vector<std::string>& LangsSupported() const { return m_langsSupported; }
    const std::string& SystemDesc() const { return m_systemDesc; }
    const TIdFTPTZInfo& TZInfo() const { return m_tzInfo; }
    bool IsTLSInUse() const { return m_tlsInUse; }
    // The control connection's certificate as the last TLS start showed it.
    const TIdPeerCertificate& PeerCertificate() const;
    // "TLSv1.3" while the control connection is encrypted; empty otherwise.
    std::string TLSVersion() const;
    // Certificates fixed in advance (SHA-256, "AB:CD:..."): a second connection of a
    // session that already accepted one, or the ones a user pinned. The server must
    // present one of these, trusted by an authority or not, and no question is asked.
    // Empty: the certificate is judged on its own.
    const std::vector<std::string>& RequiredPeerFingerprints() const { return m_requiredFingerprints; }
    void SetRequiredPeerFingerprints(std::vector<std::string> fingerprints) {
        m_requiredFingerprints = std::move(fingerprints);
    }
    bool UsingExtDataPort() const { return m_usingExtDataPort; }
    bool UsingMLIS() const { return m_usingMLIS; }
    bool EPSVAllSent() const { return m_epsvAllSent; }
    TIdReply& LoginMsg() { return *m_loginMsg; }

    // Connects, reads the greeting, negotiates TLS and logs in (with AutoLogin).
    void Connect() override;
    using TIdTCPClient::Connect;
    // The USER/PASS/ACCT sequence with the TLS negotiation before it, then FEAT.
    void Login();
    // Whether a capability line's first word is `feature` (letters without case).
    bool SupportsFeature(const std::string& feature) const;

    // Single commands.
    void ChangeDirectory(const std::string& path);
    void ChangeToParent();
    // The path of the PWD reply; empty when the reply quotes none.
    std::string CurrentDirectory();
    void MakeDirectory(const std::string& name);
    void RemoveDirectory(const std::string& name);
    void RemoveFile(const std::string& name);
    void RenameFile(const std::string& oldName, const std::string& newName);
    // The size, or -1 when the server gives none (missing file, folder, no SIZE).
    std::int64_t FileSize(const std::string& name);
    // The modification time the server gives (MDTM: "20260101120000"); empty when it
    // gives none.
    std::string FileStamp(const std::string& name);
    // Asked once per client object (REST 1 / REST 0), then remembered.
    bool ResumeSupported();

    // Transfers over a data connection. The stream is read or written in chunks of
    // the control connection's buffer sizes.
    // RETR into the stream at its position; resumes there (REST) only when asked and
    // the server can.
    void Download(const std::string& remoteName, harbrook::TStream& destination,
                  bool resume = false);
    // STOR of the whole stream, or APPE of the stream from its position.
    void Upload(harbrook::TStream& source, const std::string& remoteName, bool append = false);
    // LIST (or NLST without details) into the raw listing; copied into `destination`
    // when one is given.
    void ListDirectory(std::vector<std::string>* destination = nullptr,
                       const std::string& specifier = "", bool details = true);
    const TIdFTPListResult& ListResult() const { return m_listResult; }
    // The most bytes one listing may take (256 MiB by default, millions of entries);
    // a longer one fails with "Listing too long" and is aborted.
    std::int64_t MaxListingSize() const { return m_maxListingSize; }
    void SetMaxListingSize(std::int64_t bytes) { m_maxListingSize = bytes; }
    // The entries of the last listing, parsed on first use (a machine listing with the
    // layout "MLST", any other by detection against the system description).
    TIdFTPListItems& DirectoryItems();
    // Parses the last listing as DirectoryItems does but keeps none of it: the entries
    // are given to `take` `batch` at a time and let go of (a million entries need never
    // be alive at once). DirectoryItems parses again when asked afterwards.
    void HandOnDirectoryItems(std::size_t batch, const std::function<void(const TIdFTPListItems&)>& take);
    // ListDirectory of the current folder with details and HandOnDirectoryItems in one,
    // the entries parsed while the listing arrives (a large folder's parse is done about
    // when its last byte is in). Should detection over the whole listing settle on
    // another layout than its first lines suggested, `restart` is called (the entries
    // given so far are void) and every entry is handed on anew.
    void ListDirectoryHandingOn(std::size_t batch, const std::function<void(const TIdFTPListItems&)>& take,
                                const std::function<void()>& restart);
    // The layout that parsed the entries; empty when none recognised the listing.
    const std::string& ListParserIdentifier() const { return m_listParserIdentifier; }
    // Lets go of the last listing, its lines and entries (a folder of a million files
    // is a few hundred megabytes), once the caller has taken what it needs.
    void ClearListing();
    // Aborts a transfer. During one (also from another thread) the data connection is
    // cut, and the transfer's own thread then sends ABOR and reads the server's answers,
    // so the control connection is never used by two threads. Without a transfer, ABOR
    // is sent and one reply read.
    void Abort();
    // Where a transfer is: no transfer, starting (commands before the data flow), moving
    // data, finishing (completion replies).
    using TransferPhase = TIdTransferPhase;
    // Hears every change of the transfer phase (old, new), for tracing; called with the
    // transfer lock held, so it must not call back into the client.
    std::function<void(TransferPhase old, TransferPhase next)> OnTransferPhase;

    // Abort for another thread that does not know whether a transfer runs: it cuts a
    // starting or running transfer as Abort does, and otherwise does nothing (no ABOR on
    // a control connection the other thread may be using). True when it cut one.
    bool InterruptTransfer();
    // Whether the last transfer ended because of an Abort: it then returned without an
    // error, though what it moved is incomplete.
    bool LastTransferAborted();

    TIdFTPBannerEvent OnBannerWarning;
    TIdFTPBannerEvent OnBannerBeforeLogin;
    TIdFTPBannerEvent OnBannerAfterLogin;
    TNotifyEvent OnAfterClientLogin;
    TIdNeedAccountEvent OnNeedAccount;
    TNotifyEvent OnCustomFTPProxy;
    TIdFTPStreamEvent OnBeforeGet;
    TIdFTPStreamEvent OnBeforePut;
    TIdFTPStreamEvent OnAfterGet;
    TNotifyEvent OnAfterPut;
    // Asked, before anything of the login is sent, about a certificate that did not
    // verify; without a handler such a certificate ends the connect.
    TIdVerifyPeerEvent OnVerifyPeer;
    TIdDataChannelEvent OnDataChannelCreate;
    TIdDataChannelEvent OnDataChannelDestroy;
    TNotifyEvent OnRetrievedDir;
    TNotifyEvent OnDirParseStart;
    TNotifyEvent OnDirParseEnd;

protected:
    void DisconnectNotifyPeer() override;

private:
    void resetSession();
    void connectAndGreet(bool& greetingReceived);
    void negotiateTLS();
    // After TLS started on the control connection: the certificate is accepted, or the
    // connection is closed and EIdTLSClientCertificateRejected raised.
    void checkPeerCertificate();
    // Raises EIdFTPLoginRefused when the server refuses any step of the login.
    void sendUserAndPassword();
    void sendLoginCommands();
    void sendFeat();
    void sendSyst();
    void sendSiteZone();
    bool siteZoneKnown() const;
    void sendTransferType();
    std::string authArgument(TAuthCmd command) const;

    // Data connections.
    // PRET, PASV/EPSV or PORT/EPRT, REST when restarting, the command and its answer:
    // the same steps for both directions and both modes.
    void startDataTransfer(const std::string& command, std::optional<std::int64_t> restartAt,
                           const TIdReplyCodes& accepted, bool connectAfterCommand);
    // Accepts an active connection, starts TLS on the data channel, then the data phase;
    // false when an Abort came in meanwhile.
    bool openDataChannel();
    void sendDataSettings();
    TIdFTPDataEndpoint sendPasv();
    TIdFTPDataEndpoint sendEpsv();
    TIdFTPDataEndpoint passiveEndpoint();
    void announceListener(const TIdSimpleServer& listener);
    void sendPort(const std::string& address, std::uint16_t port);
    std::unique_ptr<TIdIOHandlerSocket> makeDataHandler() const;
    void prepareDataChannel(TIdTCPConnection& channel, TIdIOHandlerSocket& handler);
    void connectPassiveChannel(const TIdFTPDataEndpoint& endpoint);
    TIdSimpleServer& listenActiveChannel();
    void acceptActiveChannel(TIdSimpleServer& listener);
    void writeTransferCommand(const std::string& command);
    void readTransferReply(const TIdReplyCodes& accepted);
    void resyncAfterFailedStart();
    // Moves to the data phase once the data connection is up (its TLS handshake done:
    // vsftpd ends the whole session when a data handshake is cut); false when an Abort
    // came in while starting.
    bool enterDataPhase();
    void startDataTLS();
    void beginTransfer();
    // Parses the last listing into `items` (detected layout, or MLST for a machine one).
    void parseListing(TIdFTPListItems& items);
    void listDirectory(std::vector<std::string>* destination, const std::string& specifier, bool details,
                       TIdListingParseAhead* ahead);
    void receive(const std::string& command, harbrook::TStream& destination, bool resume,
                 bool emptyOn450);
    void send(const std::string& command, harbrook::TStream& source, bool fromStart);
    void finishTransfer(bool failing);
    // Called from a catch block of a transfer: finishes and rethrows, unless Abort caused
    // the failure.
    void rethrowUnlessAborted();
    void closeDataChannel(bool abandon);
    void sendTransferTypeCommand(TIdFTPTransferType type);

    std::string m_username;
    std::string m_password;
    std::string m_account;
    bool m_autoLogin = true;
    TAuthCmd m_authCmd = tAuto;
    TIdFTPDataPortSecurity m_dataPortProtection = ftpdpsClear;
    bool m_useCCC = false;
    TIdFTPTransferType m_transferType = ftBinary;
    bool m_useExtensionDataPort = false;
    bool m_tryNATFastTrack = false;
    bool m_passive = false;
    bool m_useMLIS = false;
    bool m_askForUtf8 = false;
    TIdFtpProxySettings m_proxySettings;
    TIdFTPClientIdentifier m_clientInfo;
    bool m_passiveUseControlHost = false;
    std::uint16_t m_dataPort = 0;
    std::uint16_t m_dataPortMin = 0;
    std::uint16_t m_dataPortMax = 0;
    std::string m_externalIP;
    int m_transferTimeout = 0;
    int m_listenTimeout = 10000;
    TIdFTPListResult m_listResult;
    std::int64_t m_maxListingSize = std::int64_t{256} << 20;
    std::unique_ptr<TIdFTPListItems> m_directoryItems;
    std::string m_listParserIdentifier;

    // The running transfer, shared with Abort on another thread.
    TIdFTPDataTransfer m_transfer;
    // Whether the running transfer's command went out, and whether its answer came (the
    // transfer's own thread only).
    enum class CommandState { NotSent, Sent, Answered };
    CommandState m_commandState = CommandState::NotSent;

    std::vector<std::string> m_requiredFingerprints;
    bool m_tlsInUse = false;
    bool m_cccDone = false;
    bool m_usingExtDataPort = false;
    bool m_usingMLIS = false;
    bool m_epsvAllSent = false;
    bool m_compressionOn = false;
    std::vector<std::string> m_capabilities;
    std::vector<std::string> m_langsSupported;
    std::string m_systemDesc;
    TIdFTPTZInfo m_tzInfo;
    std::unique_ptr<TIdReply> m_loginMsg;
    std::optional<bool> m_resumeSupported;
};
