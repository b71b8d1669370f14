// How the FTP client agrees on a data connection: the protection settings before each
// one, PASV/EPSV for passive and PORT/EPRT for active transfers.

#include <algorithm>

#include "ftp/client/IdFTP.h"
#include "ftp/IdFTPExceptions.h"
#include "ftp/transport/IdSimpleServer.h"

void TIdFTP::sendDataSettings() {
    if (!m_tlsInUse || m_cccDone) {
        return;
    }
    SendCommand("PBSZ 0");
    SendCommand(m_dataPortProtection == ftpdpsPrivate ? "PROT P" : "PROT C", 200);
    if (m_useCCC) {
        const int code = SendCommand("CCC");
        if (code >= 200 && code <= 299) {
            m_cccDone = true;
            if (TIdSSLIOHandlerSocketBase* handler = SSLHandler()) {
                handler->SetPassThrough(true);
            }
        }
    }
}

TIdFTPDataEndpoint TIdFTP::sendPasv() {
    sendDataSettings();
    SendCommand("PASV", 227);
    const auto& text = LastCmdResult().Text();
    return harbrook::parsePasvReply(text.empty() ? std::string() : text.front());
}

TIdFTPDataEndpoint TIdFTP::sendEpsv() {
    sendDataSettings();
    int code = 0;
    if (m_proxySettings.ProxyType == fpcmNone) {
        code = SendCommand("EPSV");
    } else {
        code = SendCommand(std::string("EPSV ") + (IPVersion() == Id_IPv6 ? "2" : "1"));
        if (code != 229) {
            code = SendCommand("EPSV");
        }
    }
    if (code != 229) {
        // The server does not do EPSV: PASV from now on, for the whole session.
        m_usingExtDataPort = false;
        return sendPasv();
    }
    try {
        const auto& text = LastCmdResult().Text();
        TIdFTPDataEndpoint endpoint =
            harbrook::parseEpsvReply(text.empty() ? std::string() : text.front());
        if (endpoint.Host.empty()) {
            endpoint.Host = Host();
        }
        return endpoint;
    } catch (const std::exception&) {
        // Tells the server the transfer is off before the reply's fault is reported.
        try {
            SendCommand("ABOR");
        } catch (const EIdException&) {
            // The malformed reply is the error worth reporting.
        }
        throw;
    }
}

TIdFTPDataEndpoint TIdFTP::passiveEndpoint() {
    TIdFTPDataEndpoint endpoint = m_usingExtDataPort ? sendEpsv() : sendPasv();
    // The data connection always goes to the host we are talking to: a server must
    // not be able to send us to another host, and one behind NAT often names its
    // private address.
    const auto* control = dynamic_cast<const TIdIOHandlerSocket*>(IOHandler());
    if (control != nullptr && !control->Binding().PeerIP.empty()) {
        endpoint.Host = control->Binding().PeerIP;
    }
    return endpoint;
}

void TIdFTP::sendPort(const std::string& address, std::uint16_t port) {
    sendDataSettings();
    std::string commas = address;
    std::replace(commas.begin(), commas.end(), '.', ',');
    SendCommand("PORT " + commas + "," + std::to_string(port / 256) + "," +
                    std::to_string(port % 256),
                200);
}

void TIdFTP::announceListener(const TIdSimpleServer& listener) {
    const std::string address = m_externalIP.empty() ? listener.ListenIP() : m_externalIP;
    if (m_usingExtDataPort) {
        sendDataSettings();
        const std::string family = IPVersion() == Id_IPv6 ? "2" : "1";
        if (SendCommand("EPRT |" + family + "|" + address + "|" +
                        std::to_string(listener.ListenPort()) + "|") == 200) {
            return;
        }
        m_usingExtDataPort = false;
    }
    sendPort(address, listener.ListenPort());
}
