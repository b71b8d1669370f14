#include "engine/SessionSetup.h"

#include "ftp/IdFTPExceptions.h"
#include "platform/Interrupt.h"
#include "platform/SocketAddress.h"

void ChooseAddressFamily(SessionSettings& settings) {
    const harbrook::HostChoice choice = harbrook::ChooseHostFamily(settings.host);
    settings.host = choice.host;
    settings.ipVersion = choice.family == AF_INET6 ? Id_IPv6 : Id_IPv4;
}

void PrepareSessionClient(TIdFTP& client, const SessionSettings& settings) {
    client.SetIPVersion(settings.ipVersion);
    if (settings.extendedDataPort) {
        client.SetUseExtensionDataPort(true);
    }
    client.SetAutoLogin(true);
    client.SetConnectTimeout(settings.connectTimeoutMs);
    client.SetReadTimeout(settings.readTimeoutMs);
    client.SetTransferTimeout(settings.transferTimeoutMs);
    client.SetListenTimeout(settings.listenTimeoutMs);
    client.ProxySettings().ProxyType = fpcmNone;
    client.ProxySettings().Port = 0;
    client.OnTLSNotAvailable = [](bool& goOn) { goOn = true; };
    // Exact sizes and full dates where the server offers a machine listing; the
    // listing's own layout is guessed only where it does not. Names in UTF-8 where the
    // server can send them so.
    client.SetUseMLIS(true);
    client.SetAskForUtf8(true);
}

namespace {

void applyTransport(TIdFTP& client, TIdSSLIOHandlerSocketOpenSSL& tlsHandler, const SessionSettings& settings) {
    if (settings.tls == SessionSettings::Tls::None) {
        if (client.UseTLS() != utNoTLSSupport) {
            client.SetDataPortProtection(ftpdpsClear);
        }
        // The client makes a plain transport of its own when it connects.
        client.SetIOHandler(static_cast<TIdIOHandler*>(nullptr));
        client.SetUseTLS(utNoTLSSupport);
        return;
    }
    tlsHandler.SSLOptions().RootCertFile = settings.caFile;
    client.SetIOHandler(&tlsHandler);
    client.SetUseTLS(settings.tls == SessionSettings::Tls::Implicit   ? utUseImplicitTLS
                     : settings.tls == SessionSettings::Tls::Required ? utUseRequireTLS
                                                                      : utUseExplicitTLS);
    client.SetDataPortProtection(ftpdpsPrivate);
}

void connectOnce(TIdFTP& client, TIdSSLIOHandlerSocketOpenSSL& tlsHandler, const SessionSettings& settings,
                 bool passive) {
    applyTransport(client, tlsHandler, settings);
    // Choosing implicit TLS (or leaving it) moves the client between ports 21 and 990 on
    // its own; the port is the user's.
    client.SetPort(settings.port);
    client.SetPassive(passive);
    client.Connect(settings.host);
    // Data connections take their block size from the control connection's transport.
    if (client.IOHandler() != nullptr) {
        if (settings.readBlockSize > 0) {
            client.IOHandler()->SetRecvBufferSize(settings.readBlockSize);
        }
        if (settings.writeBlockSize > 0) {
            client.IOHandler()->SetSendBufferSize(settings.writeBlockSize);
        }
    }
}

}  // namespace

std::string ConnectSession(TIdFTP& client, TIdSSLIOHandlerSocketOpenSSL& tlsHandler,
                           const SessionSettings& settings) {
    client.SetUsername(settings.user);
    client.SetPassword(settings.password);
    client.SetPort(settings.port);
    try {
        connectOnce(client, tlsHandler, settings, settings.passive);
    } catch (const EIdTLSClientCertificateRejected&) {
        throw;
    } catch (const EIdTLSClientTLSNotAvailable&) {
        throw;
    } catch (const EIdFTPLoginRefused&) {
        // A wrong password sent twice trips the lock-out rules of many servers.
        throw;
    } catch (const harbrook::EInterrupted&) {
        // The user stopped it.
        throw;
    } catch (const std::exception&) {
        if (!settings.passive || !settings.activeAfterFailure) {
            throw;
        }
        // Whatever failed, the second try starts from a closed connection.
        try {
            if (client.Connected()) {
                client.Disconnect();
            }
        } catch (const std::exception&) {
            // The first attempt's leftovers; the second attempt decides.
        }
        connectOnce(client, tlsHandler, settings, false);
    }
    return ConnectionStatusText(client.Passive(), settings.tls != SessionSettings::Tls::None, client.TLSVersion(),
                                settings.tls == SessionSettings::Tls::Implicit);
}

std::string ConnectionStatusText(bool passive, bool tlsAskedFor, const std::string& tlsVersion, bool implicitTls) {
    std::string text = passive ? "Passive Connection" : "Active Connection";
    if (tlsAskedFor) {
        text += tlsVersion.empty() ? ", not encrypted"
                                   : std::string(implicitTls ? ", Implicit TLS (" : ", Explicit TLS (") + tlsVersion + ")";
    }
    return text;
}

std::string SessionSettingsProblem(const SessionSettings& settings) {
    if (settings.host.empty()) {
        return "No host is given.";
    }
    for (const unsigned char c : settings.host) {
        if (c < ' ' || c == 0x7f) {
            return "The host name contains a control character.";
        }
    }
    const std::pair<const char*, const std::string*> fields[] = {
        {"account", &settings.user}, {"password", &settings.password}, {"folder", &settings.startFolder}};
    for (const auto& [name, text] : fields) {
        if (text->find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
            return std::string("The ") + name + " contains a line end or a NUL character.";
        }
    }
    return {};
}
