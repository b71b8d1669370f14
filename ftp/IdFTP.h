#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ftp/IdExplicitTLSClient.h"

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

using TIdFTPBannerEvent = std::function<void(const std::string& text)>;
using TIdNeedAccountEvent = std::function<void(std::string& account)>;

// The FTP client: session set-up and login, and the single commands on the control
// connection.
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
    void SetIPVersion(TIdIPVersion version);
    TIdFtpProxySettings& ProxySettings() { return m_proxySettings; }
    TIdFTPClientIdentifier& ClientInfo() { return m_clientInfo; }

    // Session state, cleared at every Connect.
    const std::vector<std::string>& Capabilities() const { return m_capabilities; }
    const std::vector<std::string>& LangsSupported() const { return m_langsSupported; }
    const std::string& SystemDesc() const { return m_systemDesc; }
    const TIdFTPTZInfo& TZInfo() const { return m_tzInfo; }
    bool IsTLSInUse() const { return m_tlsInUse; }
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
    // Asked once per client object (REST 1 / REST 0), then remembered.
    bool ResumeSupported();

    TIdFTPBannerEvent OnBannerWarning;
    TIdFTPBannerEvent OnBannerBeforeLogin;
    TIdFTPBannerEvent OnBannerAfterLogin;
    TNotifyEvent OnAfterClientLogin;
    TIdNeedAccountEvent OnNeedAccount;
    TNotifyEvent OnCustomFTPProxy;

protected:
    void DisconnectNotifyPeer() override;

private:
    void resetSession();
    void connectAndGreet(bool& greetingReceived);
    void negotiateTLS();
    void sendUserAndPassword();
    void sendFeat();
    void sendSyst();
    void sendSiteZone();
    bool siteZoneKnown() const;
    void sendTransferType();
    std::string authArgument(TAuthCmd command) const;

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
    TIdFtpProxySettings m_proxySettings;
    TIdFTPClientIdentifier m_clientInfo;

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
