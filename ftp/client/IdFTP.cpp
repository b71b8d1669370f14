#include "ftp/client/IdFTP.h"

#include <algorithm>
#include <cctype>

#include "ftp/IdFTPExceptions.h"
#include "ftp/client/IdOTPCalculator.h"

namespace {

std::string upperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string trimBlanks(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string firstWordOf(const std::string& text) {
    return text.substr(0, text.find(' '));
}

// "  Harbrook 1.0" -> "Harbrook"
std::string trimmedFirstWord(const std::string& text) {
    return firstWordOf(trimBlanks(text));
}

std::string joinedText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace

void TIdFTPClientIdentifier::SetClientName(const std::string& name) {
    m_clientName = trimmedFirstWord(name);
}

void TIdFTPClientIdentifier::SetClientVersion(const std::string& version) {
    m_clientVersion = trimmedFirstWord(version);
}

std::string TIdFTPClientIdentifier::ClientInfo() const {
    if (m_clientName.empty()) {
        return {};
    }
    std::string text = m_clientName;
    if (!m_clientVersion.empty()) {
        text += " " + m_clientVersion;
        if (!m_platformDescription.empty()) {
            text += " " + m_platformDescription;
        }
    }
    return text;
}

TIdFTP::TIdFTP() : m_loginMsg(std::make_unique<TIdReplyFTP>()) {
    m_transfer.OnPhase = [this](TransferPhase old, TransferPhase next) {
        if (OnTransferPhase) {
            OnTransferPhase(old, next);
        }
    };
    UseReplyObjects(std::make_unique<TIdReplyFTP>(), std::make_unique<TIdReplyFTP>());
    SetPort(21);
    SetReadTimeout(60000);
}

TIdFTP::~TIdFTP() {
    // Whoever set the events may be partly gone by now; closing must not call back.
    OnStatus = nullptr;
    OnDisconnected = nullptr;
    try {
        DisconnectNotPeer();
    } catch (const std::exception&) {
        // Closing a socket while going away; there is nobody left to tell.
    }
}

void TIdFTP::SetUseTLS(TIdUseTLS value) {
    const TIdUseTLS previous = m_useTLS;
    TIdExplicitTLSClient::SetUseTLS(value);
    if (value == utUseImplicitTLS && Port() == 21) {
        SetPort(990);
    } else if (previous == utUseImplicitTLS && value != utUseImplicitTLS && Port() == 990) {
        SetPort(21);
    }
    if (value == utNoTLSSupport) {
        m_dataPortProtection = ftpdpsClear;
        m_useCCC = false;
        m_authCmd = tAuto;
    }
}

void TIdFTP::SetIOHandler(TIdIOHandler* handler) {
    auto* socketHandler = dynamic_cast<TIdIOHandlerSocket*>(handler);
    if (handler != nullptr && socketHandler == nullptr) {
        throw EIdFTPWrongIOHandler();
    }
    TIdExplicitTLSClient::SetIOHandler(handler);
    if (socketHandler != nullptr && socketHandler->IPVersion() == Id_IPv6) {
        m_useExtensionDataPort = true;
    }
}

void TIdFTP::SetAUTHCmd(TAuthCmd value) {
    if (value == m_authCmd) {
        return;
    }
    if (!m_loading) {
        if (m_useTLS == utNoTLSSupport) {
            throw EIdFTPNoAUTHWOSSL();
        }
        if (m_tlsInUse) {
            throw EIdFTPCanNotSetAUTHCon();
        }
    }
    m_authCmd = value;
}

void TIdFTP::SetDataPortProtection(TIdFTPDataPortSecurity value) {
    if (value == m_dataPortProtection) {
        return;
    }
    if (!m_loading) {
        if (m_useTLS == utNoTLSSupport) {
            throw EIdFTPNoDataPortProtectionWOEncryption();
        }
        if (m_cccDone) {
            throw EIdFTPNoDataPortProtectionAfterCCC();
        }
    }
    m_dataPortProtection = value;
}

void TIdFTP::SetUseCCC(bool value) {
    if (value == m_useCCC) {
        return;
    }
    if (!m_loading && m_useTLS == utNoTLSSupport) {
        throw EIdFTPNoCCCWOEncryption();
    }
    m_useCCC = value;
}

void TIdFTP::SetTransferType(TIdFTPTransferType value) {
    if (m_transfer.HasChannel()) {
        return;
    }
    m_transferType = value;
    if (Connected()) {
        sendTransferType();
    }
}

void TIdFTP::SetUseExtensionDataPort(bool value) {
    if (!value && !m_loading) {
        if (IPVersion() == Id_IPv6) {
            throw EIdFTPMustUseExtWithIPv6();
        }
        if (m_tryNATFastTrack) {
            throw EIdFTPMustUseExtWithNATFastTrack();
        }
    }
    m_useExtensionDataPort = value;
}

void TIdFTP::SetTryNATFastTrack(bool value) {
    m_tryNATFastTrack = value;
    if (value) {
        m_passive = true;
        m_useExtensionDataPort = true;
    }
}

void TIdFTP::SetPassive(bool value) {
    if (!value && m_tryNATFastTrack && !m_loading) {
        throw EIdFTPPassiveMustBeTrueWithNATFT();
    }
    m_passive = value;
}

void TIdFTP::SetIPVersion(TIdIPVersion version) {
    TIdExplicitTLSClient::SetIPVersion(version);
    if (version == Id_IPv6) {
        m_useExtensionDataPort = true;
    }
}

void TIdFTP::resetSession() {
    m_tlsInUse = false;
    m_cccDone = false;
    m_usingExtDataPort = m_useExtensionDataPort;
    m_usingMLIS = false;
    m_epsvAllSent = false;
    m_compressionOn = false;
    m_capabilities.clear();
    m_langsSupported.clear();
    m_systemDesc.clear();
    m_tzInfo = {};
}

void TIdFTP::Connect() {
    resetSession();
    const std::string host = Host();
    const std::uint16_t port = Port();
    const bool viaProxy = m_proxySettings.ProxyType != fpcmNone &&
                          m_proxySettings.ProxyType != fpcmTransparent &&
                          !m_proxySettings.Host.empty();
    auto restoreTarget = [&] {
        SetHost(host);
        SetPort(port);
    };
    bool greetingReceived = false;
    if (TIdSSLIOHandlerSocketBase* handler = SSLHandler()) {
        // The certificate must be for the name the user gave, not for the address it
        // resolved to (nor for a proxy's).
        handler->SetPeerName(host);
    }
    try {
        if (viaProxy) {
            SetHost(m_proxySettings.Host);
            SetPort(m_proxySettings.Port);
        }
        connectAndGreet(greetingReceived);
        restoreTarget();
        if (m_autoLogin) {
            Login();
            if (OnAfterClientLogin) {
                OnAfterClientLogin();
            }
            const std::string clientInfo = m_clientInfo.ClientInfo();
            if (!clientInfo.empty() && SupportsFeature("CLNT")) {
                SendCommand("CLNT " + clientInfo);
            }
            if (m_tryNATFastTrack && SupportsFeature("EPSV")) {
                if (SendCommand("EPSV ALL") == 229) {
                    SendCommand("ABOR");
                }
                m_epsvAllSent = true;
            }
            if (m_useTLS == utUseImplicitTLS) {
                m_tlsInUse = true;
            }
            sendSyst();
            sendSiteZone();
            sendTransferType();
            DoStatus(ftpReady, "Connection established");
        } else {
            sendSyst();
            sendFeat();
        }
    } catch (...) {
        restoreTarget();
        try {
            if (greetingReceived) {
                Disconnect();
            } else {
                DisconnectNotPeer();
            }
        } catch (const EIdException&) {
            // The error that ended the connect is the one worth reporting.
        }
        throw;
    }
}

void TIdFTP::connectAndGreet(bool& greetingReceived) {
    if (m_useTLS == utUseImplicitTLS) {
        m_tlsInUse = true;
    }
    if (TIdSSLIOHandlerSocketBase* handler = SSLHandler()) {
        // Implicit TLS speaks TLS from the first byte; otherwise plain until AUTH.
        handler->SetPassThrough(m_useTLS != utUseImplicitTLS);
    }
    ConnectTransport();
    if (auto* control = dynamic_cast<TIdIOHandlerSocket*>(IOHandler())) {
        control->SetKeepAlive(true);
    }
    if (m_useTLS == utUseImplicitTLS) {
        checkPeerCertificate();
    }

    const int first = ReadReply();
    if (first >= 100 && first <= 199) {
        if (OnBannerWarning) {
            OnBannerWarning(LastCmdResult().FormattedText());
        }
        ReadReply();
    }
    if (LastCmdResult().NumericCode() != 220) {
        LastCmdResult().RaiseReplyError();
    }
    greetingReceived = true;
    Greeting().Assign(LastCmdResult());
    if (OnBannerBeforeLogin) {
        OnBannerBeforeLogin(Greeting().FormattedText());
    }
}

std::string TIdFTP::authArgument(TAuthCmd command) const {
    switch (command) {
        case tAuthSSL: return "SSL";
        case tAuthTLSC: return "TLS-C";
        case tAuthTLSP: return "TLS-P";
        case tAuto:
        case tAuthTLS: break;
    }
    return "TLS";
}

void TIdFTP::negotiateTLS() {
    const std::vector<TAuthCmd> commands =
        m_authCmd == tAuto ? std::vector<TAuthCmd>{tAuthTLS, tAuthSSL, tAuthTLSC, tAuthTLSP}
                           : std::vector<TAuthCmd>{m_authCmd};
    for (TAuthCmd command : commands) {
        const int code = SendCommand("AUTH " + authArgument(command));
        if (code == 234 || code == 334) {
            DoTLSHandshake();
            // A handshake that failed but was allowed to go on left the line plain.
            const TIdSSLIOHandlerSocketBase* handler = SSLHandler();
            m_tlsInUse = handler != nullptr && !handler->PassThrough();
            if (m_tlsInUse) {
                checkPeerCertificate();
            }
            return;
        }
        if (m_authCmd == tAuto && code >= 500 && code <= 999) {
            continue;
        }
        ProcessTLSNegCmdFailed();
        return;
    }
}

const TIdPeerCertificate& TIdFTP::PeerCertificate() const {
    static const TIdPeerCertificate none;
    const TIdSSLIOHandlerSocketBase* handler = SSLHandler();
    return handler != nullptr ? handler->PeerCertificate() : none;
}

std::string TIdFTP::TLSVersion() const {
    const TIdSSLIOHandlerSocketBase* handler = SSLHandler();
    return handler != nullptr && m_tlsInUse && !m_cccDone ? handler->ProtocolVersion() : std::string();
}

void TIdFTP::checkPeerCertificate() {
    const TIdPeerCertificate& peer = PeerCertificate();
    if (!m_requiredFingerprints.empty()) {
        if (!peer.Sha256.empty() && std::find(m_requiredFingerprints.begin(), m_requiredFingerprints.end(),
                                              peer.Sha256) != m_requiredFingerprints.end()) {
            return;
        }
        const std::string presented = peer.Sha256.empty() ? std::string("none") : peer.Sha256;
        DisconnectBeforeRaising();
        throw EIdTLSClientCertificateRejected("The server presented another certificate than the one expected (SHA-256 " +
                                              presented + "); nothing was sent.");
    }
    if (peer.Trusted) {
        return;
    }
    bool accept = false;
    if (OnVerifyPeer) {
        // The handler may look at the certificate as long as it likes: it is a copy.
        const TIdPeerCertificate shown = peer;
        OnVerifyPeer(shown, accept);
    }
    if (accept) {
        return;
    }
    const std::string fingerprint = peer.Sha256;
    const std::string reasons = harbrook::CertificateProblemSummary(peer);
    DisconnectBeforeRaising();
    throw EIdTLSClientCertificateRejected("The server's certificate is not trusted: " + reasons +
                                          ". SHA-256 fingerprint: " +
                                          (fingerprint.empty() ? std::string("none") : fingerprint) + ".");
}

void TIdFTP::Login() {
    // Implicit TLS is in use from the first byte: never "not available", never a question
    // about going on in plain text.
    m_tlsInUse = m_useTLS == utUseImplicitTLS;
    if (m_useTLS == utUseExplicitTLS || m_useTLS == utUseRequireTLS) {
        negotiateTLS();
    }
    if (!m_tlsInUse) {
        TLSNotAvailable();
    }
    switch (m_proxySettings.ProxyType) {
        case fpcmNone:
            sendUserAndPassword();
            break;
        case fpcmCustomProxy:
            if (!OnCustomFTPProxy) {
                throw EIdFTPOnCustomFTPProxyRequired();
            }
            OnCustomFTPProxy();
            break;
        default:
            // FIXME: the firewall login forms (USER user@host, SITE host, OPEN host and
            // the like) are not built; the program logs in directly only.
            throw EIdSocksServerCommandError();
    }
    m_loginMsg->Assign(LastCmdResult());
    if (OnBannerAfterLogin) {
        OnBannerAfterLogin(m_loginMsg->FormattedText());
    }
    sendFeat();
    if (m_askForUtf8 && SupportsFeature("UTF8")) {
        SendCommand("OPTS UTF8 ON");
    }
}

void TIdFTP::sendUserAndPassword() {
    try {
        sendLoginCommands();
    } catch (const EIdFTPLoginRefused&) {
        throw;
    } catch (const EIdReplyRFCError& refused) {
        throw EIdFTPLoginRefused(refused.ErrorCode(), refused.what());
    }
}

void TIdFTP::sendLoginCommands() {
    int code = SendCommand("USER " + m_username, {230, 232, 331});
    if (code != 331) {
        return;
    }
    const std::string challengeText = joinedText(LastCmdResult().Text());
    std::string password = m_password;
    if (auto challenge = harbrook::findOtpChallenge(challengeText)) {
        password = harbrook::otpResponse(*challenge, m_password);
    }
    code = SendCommand("PASS " + password, {230, 332});
    const bool asksForAccount =
        code == 332 || (upperCase(joinedText(LastCmdResult().Text())).find("ACCOUNT") !=
                            std::string::npos &&
                        !m_account.empty());
    if (!asksForAccount) {
        return;
    }
    if (m_account.empty() && OnNeedAccount) {
        OnNeedAccount(m_account);
    }
    if (m_account.empty()) {
        LastCmdResult().RaiseReplyError();
    }
    SendCommand("ACCT " + m_account, {202, 230, 500});
}

void TIdFTP::sendFeat() {
    SendCommand("FEAT");
    const std::vector<std::string>& text = LastCmdResult().Text();
    m_capabilities.clear();
    if (text.size() > 2) {
        m_capabilities.assign(text.begin() + 1, text.end() - 1);
    }
    if (m_usingExtDataPort) {
        m_usingExtDataPort = SupportsFeature("EPRT") && SupportsFeature("EPSV");
    }
    m_usingMLIS = m_useMLIS && (SupportsFeature("MLSD") || SupportsFeature("MLST"));

    m_langsSupported.clear();
    for (const std::string& line : m_capabilities) {
        const std::string trimmed = trimBlanks(line);
        if (upperCase(firstWordOf(trimmed)) != "LANG") {
            continue;
        }
        const std::size_t space = trimmed.find(' ');
        std::string rest = space == std::string::npos ? std::string() : trimmed.substr(space + 1);
        std::size_t start = 0;
        while (start <= rest.size()) {
            std::size_t end = rest.find(';', start);
            if (end == std::string::npos) {
                end = rest.size();
            }
            const std::string item = harbrook::trimControl(rest.substr(start, end - start));
            if (!item.empty()) {
                m_langsSupported.push_back(item);
            }
            start = end + 1;
        }
        break;
    }
}

bool TIdFTP::SupportsFeature(const std::string& feature) const {
    const std::string wanted = upperCase(feature);
    return std::any_of(m_capabilities.begin(), m_capabilities.end(), [&](const std::string& line) {
        const std::size_t first = line.find_first_not_of(' ');
        return first != std::string::npos && upperCase(firstWordOf(line.substr(first))) == wanted;
    });
}

void TIdFTP::sendSyst() {
    if (SendCommand("SYST") == 500) {
        m_systemDesc = "Unknown";
    } else {
        const auto& text = LastCmdResult().Text();
        m_systemDesc = text.empty() ? std::string() : text.front();
    }
}

bool TIdFTP::siteZoneKnown() const {
    const auto& greeting = Greeting().Text();
    const std::string first = greeting.empty() ? std::string() : upperCase(greeting.front());
    for (const char* server : {"SERV-U ", "BPFTP SERVER ", "TITANFTP SERVER ", "TITAN FTP SERVER "}) {
        if (first.rfind(server, 0) == 0) {
            return true;
        }
    }
    // "SITE PSWD;SET;ZONE;CHMOD"
    for (const std::string& line : m_capabilities) {
        const std::string trimmed = upperCase(trimBlanks(line));
        if (firstWordOf(trimmed) != "SITE") {
            continue;
        }
        // Built by appending: GCC 12 at -O3 mistakes `";" + std::string` for an
        // overlapping copy (-Wrestrict).
        std::string commands(1, ';');
        commands += trimmed.substr(std::min(trimmed.size(), std::size_t{5}));
        commands += ';';
        commands.erase(std::remove(commands.begin(), commands.end(), ' '), commands.end());
        if (commands.find(";ZONE;") != std::string::npos) {
            return true;
        }
    }
    return false;
}

void TIdFTP::sendSiteZone() {
    if (!siteZoneKnown() || m_usingMLIS) {
        return;
    }
    if (SendCommand("SITE ZONE") != 210 || LastCmdResult().Text().empty()) {
        return;
    }
    // "210 UTC-300": minutes west of GMT, stored as a negative day fraction.
    const std::string& line = LastCmdResult().Text().front();
    std::string number = line.size() > 3 ? line.substr(3) : std::string();
    number.erase(0, number.find_first_not_of(' '));
    long long minutes = 0;
    if (!harbrook::parseWholeInteger(number, minutes)) {
        throw harbrook::EConvertError("'" + number + "' is not a valid integer value");
    }
    const long long magnitude = minutes < 0 ? -minutes : minutes;
    if (magnitude >= 24 * 60) {
        throw harbrook::EConvertError("Invalid argument to time encode");
    }
    const double offset = static_cast<double>(magnitude / 60) / 24.0 +
                          static_cast<double>(magnitude % 60) / (24.0 * 60.0);
    m_tzInfo.GMTOffset = minutes > 0 ? -offset : offset;
    m_tzInfo.GMTOffsetAvailable = true;
}

void TIdFTP::sendTransferType() {
    sendTransferTypeCommand(m_transferType);
}

void TIdFTP::sendTransferTypeCommand(TIdFTPTransferType type) {
    SendCommand(type == ftBinary ? "TYPE I" : "TYPE A", 200);
}

void TIdFTP::DisconnectNotifyPeer() {
    TIdIOHandler* handler = IOHandler();
    if (handler == nullptr || !handler->Connected()) {
        return;
    }
    handler->WriteLine("QUIT");
    if (handler->Connected() && handler->Readable(10)) {
        try {
            ReadReply();
        } catch (const EIdConnClosedGracefully&) {
            // The server may hang up on QUIT without a word: that is what QUIT asked for.
        }
    }
}
