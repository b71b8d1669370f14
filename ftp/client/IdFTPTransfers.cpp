// Transfers of the FTP client: downloads, uploads and listings over a data connection,
// the finishing replies, and Abort, which may come from another thread.

#include <algorithm>
#include <cerrno>
#include <optional>

#include "ftp/client/IdFTP.h"
#include "ftp/IdFTPExceptions.h"
#include "ftp/listing/IdFTPListParseBase.h"
#include "ftp/listing/IdListingParseAhead.h"
#include "ftp/transport/IdIOHandlerStack.h"
#include "ftp/transport/IdSimpleServer.h"

using harbrook::TStream;

std::unique_ptr<TIdIOHandlerSocket> TIdFTP::makeDataHandler() const {
    if (m_dataPortProtection == ftpdpsPrivate) {
        if (const TIdSSLIOHandlerSocketBase* tls = SSLHandler()) {
            return tls->CloneForDataChannel();
        }
    }
    return std::make_unique<TIdIOHandlerStack>();
}

void TIdFTP::prepareDataChannel(TIdTCPConnection& channel, TIdIOHandlerSocket& handler) {
    const TIdIOHandler* control = IOHandler();
    handler.SetConnectTimeout(ConnectTimeout());
    handler.SetIPVersion(IPVersion());
    handler.SetSendBufferSize(control->SendBufferSize());
    handler.SetRecvBufferSize(control->RecvBufferSize());
    handler.SetReadTimeout(m_transferTimeout);
    handler.SetLargeStream(true);
    channel.SetIOHandler(&handler);
    channel.OnWorkBegin = [this](TWorkMode mode, std::int64_t countMax) {
        if (OnWorkBegin) {
            OnWorkBegin(mode, countMax);
        }
    };
    channel.OnWork = [this](TWorkMode mode, std::int64_t count) {
        if (OnWork) {
            OnWork(mode, count);
        }
    };
    channel.OnWorkEnd = [this](TWorkMode mode) {
        if (OnWorkEnd) {
            OnWorkEnd(mode);
        }
    };
}

void TIdFTP::connectPassiveChannel(const TIdFTPDataEndpoint& endpoint) {
    auto handler = makeDataHandler();
    auto client = std::make_unique<TIdTCPClient>();
    client->SetHost(endpoint.Host);
    client->SetPort(endpoint.Port);
    client->SetConnectTimeout(ConnectTimeout());
    client->SetReadTimeout(m_transferTimeout);
    client->SetIPVersion(IPVersion());
    prepareDataChannel(*client, *handler);
    TIdTCPClient& channel = *client;
    m_transfer.Attach(std::move(handler), std::move(client));
    if (OnDataChannelCreate) {
        OnDataChannelCreate(channel);
    }
    channel.Connect();
}

TIdSimpleServer& TIdFTP::listenActiveChannel() {
    auto handler = makeDataHandler();
    auto listener = std::make_unique<TIdSimpleServer>();
    const auto* control = dynamic_cast<const TIdIOHandlerSocket*>(IOHandler());
    listener->SetBoundIP(control != nullptr ? control->Binding().IP : std::string());
    listener->SetBoundPort(m_dataPort);
    listener->SetBoundPortMin(m_dataPortMin);
    listener->SetBoundPortMax(m_dataPortMax);
    listener->SetIPVersion(IPVersion());
    prepareDataChannel(*listener, *handler);
    TIdSimpleServer& channel = *listener;
    m_transfer.Attach(std::move(handler), std::move(listener));
    if (OnDataChannelCreate) {
        OnDataChannelCreate(channel);
    }
    channel.BeginListen();
    return channel;
}

void TIdFTP::acceptActiveChannel(TIdSimpleServer& listener) {
    listener.Listen(m_listenTimeout);
}

void TIdFTP::beginTransfer() {
    m_commandState = CommandState::NotSent;
    m_transfer.Begin();
    DoStatus(ftpTransfer, "Starting FTP transfer");
}

void TIdFTP::writeTransferCommand(const std::string& command) {
    WriteCommand(command);
    m_commandState = CommandState::Sent;
}

void TIdFTP::readTransferReply(const TIdReplyCodes& accepted) {
    // The answer is in even when it is refused; the finishing step must not wait for
    // another.
    try {
        ReadReply(accepted);
    } catch (const EIdReplyRFCError&) {
        m_commandState = CommandState::Answered;
        throw;
    }
    m_commandState = CommandState::Answered;
}

bool TIdFTP::enterDataPhase() {
    return m_transfer.EnterData();
}

void TIdFTP::startDataTLS() {
    if (!m_tlsInUse || m_dataPortProtection != ftpdpsPrivate) {
        return;
    }
    if (auto* tls = dynamic_cast<TIdSSLIOHandlerSocketBase*>(m_transfer.Handler())) {
        tls->StartSSL();
    }
}

void TIdFTP::closeDataChannel(bool abandon) {
    auto [channel, handler] = m_transfer.Detach();
    if (!channel) {
        return;
    }
    if (abandon) {
        handler->SetAbortiveClose();
    }
    if (OnDataChannelDestroy) {
        OnDataChannelDestroy(*channel);
    }
    try {
        channel->DisconnectNotPeer();
    } catch (const EIdException&) {
        // The data connection is being thrown away; a failed close changes nothing.
    }
    channel.reset();
    handler.reset();
}

namespace {

// Once a transfer has failed, its answers are waited for only briefly: the failure
// itself (a stalled data connection, a data port that never answered) has already
// taken a whole time-out, and a server that stalled one connection mostly stalls the
// other too. A server that answers at all answers well within this.
constexpr int kAnswerAfterFailureMs = 1500;

class BriefReadTimeout {
public:
    explicit BriefReadTimeout(TIdIOHandler* handler) : m_handler(handler) {
        if (m_handler != nullptr) {
            m_saved = m_handler->ReadTimeout();
            if (m_saved <= 0 || m_saved > kAnswerAfterFailureMs) {
                m_handler->SetReadTimeout(kAnswerAfterFailureMs);
            }
        }
    }
    ~BriefReadTimeout() {
        if (m_handler != nullptr) {
            m_handler->SetReadTimeout(m_saved);
        }
    }
    BriefReadTimeout(const BriefReadTimeout&) = delete;
    BriefReadTimeout& operator=(const BriefReadTimeout&) = delete;

private:
    TIdIOHandler* m_handler;
    int m_saved = 0;
};

}  // namespace

void TIdFTP::resyncAfterFailedStart() {
    // The server will still answer the command that went out (150, then 425, say).
    // Reading those answers keeps the next command's reply in step.
    BriefReadTimeout brief(IOHandler());
    try {
        if (ReadReply() < 200) {
            ReadReply();
        }
    } catch (const EIdException&) {
        // The failure that ended the transfer is the one to report.
    }
}

void TIdFTP::finishTransfer(bool failing) {
    const bool aborted = m_transfer.Finish();
    // A transfer that was aborted or failed abandons its data connection: the server
    // may still be sending into it.
    closeDataChannel(aborted || failing);
    auto backToIdle = [this] { m_transfer.End(); };
    std::optional<BriefReadTimeout> brief;
    if (failing) {
        brief.emplace(IOHandler());
    }
    try {
        const int code = LastCmdResult().NumericCode();
        if (m_commandState == CommandState::NotSent) {
            // Nothing was asked of the server yet.
        } else if (m_commandState == CommandState::Sent) {
            resyncAfterFailedStart();
        } else if (code >= 100 && code <= 299) {
            DoStatus(ftpReady, "Transfer complete");
            if (aborted) {
                WriteCommand("ABOR");
                int first = 0;
                try {
                    first = ReadReply({225, 226, 250, 426, 450, 451, 425, 550, 552});
                } catch (const EIdReplyRFCError&) {
                    throw;
                } catch (const EIdException&) {
                    // Neither the transfer's reply nor ABOR's came: both are owed.
                    OweReplies(1);
                    throw;
                }
                const int answered[] = {226, 426, 450, 451, 425, 550};
                if (std::find(std::begin(answered), std::end(answered), first) !=
                    std::end(answered)) {
                    ReadReply({226, 225});
                    if (first == 226 && IOHandler()->Readable(10)) {
                        ReadReply({226, 426, 450, 451, 425, 550});
                    }
                }
                DoStatus(ftpAborted, "Transfer aborted");
            } else {
                // One preliminary reply opened the transfer; another one here is out of
                // step, and the server's own text ("150 Opening") would not say why.
                const int last = ReadReply(TIdReplyCodes{});
                if (last >= 100 && last < 200) {
                    throw EIdReplyRFCError(
                        last, "The server sent a second preliminary reply where the transfer's final reply "
                              "(226) was expected: " +
                                  LastCmdResult().FormattedText());
                }
                CheckResponse({226, 225, 250});
            }
        } else {
            DoStatus(ftpAborted, "Transfer aborted");
        }
    } catch (const std::exception&) {
        backToIdle();
        if (!failing) {
            throw;
        }
        // Otherwise the error that ended the transfer is the one to report.
        return;
    }
    backToIdle();
}

void TIdFTP::rethrowUnlessAborted() {
    if (!m_transfer.Aborted()) {
        // Also the stream's own errors (a full disk, transfers disabled): the data
        // connection is closed and the server's answers read before they pass on.
        finishTransfer(true);
        throw;
    }
    // Abort cut the data connection on purpose; the finishing replies tell the rest.
}

void TIdFTP::startDataTransfer(const std::string& command, std::optional<std::int64_t> restartAt,
                               const TIdReplyCodes& accepted, bool connectAfterCommand) {
    std::optional<TIdFTPDataEndpoint> endpoint;
    if (m_passive) {
        if (SupportsFeature("PRET")) {
            SendCommand("PRET " + command);
        }
        endpoint = passiveEndpoint();
        if (!connectAfterCommand) {
            connectPassiveChannel(*endpoint);
        }
    } else {
        announceListener(listenActiveChannel());
    }
    if (restartAt) {
        SendCommand("REST " + std::to_string(*restartAt), 350);
    }
    writeTransferCommand(command);
    if (endpoint && connectAfterCommand) {
        connectPassiveChannel(*endpoint);
    }
    readTransferReply(accepted);
}

bool TIdFTP::openDataChannel() {
    if (auto* listener = dynamic_cast<TIdSimpleServer*>(m_transfer.Channel())) {
        acceptActiveChannel(*listener);
    }
    startDataTLS();
    return enterDataPhase();
}

void TIdFTP::receive(const std::string& command, TStream& destination, bool resume,
                     bool emptyOn450) {
    beginTransfer();
    const TIdReplyCodes accepted =
        emptyOn450 ? TIdReplyCodes{125, 150, 154, 450} : TIdReplyCodes{125, 150, 154};
    try {
        startDataTransfer(command, resume ? std::optional<std::int64_t>(destination.Position()) : std::nullopt,
                          accepted, false);
        // A listing of an empty folder may be answered 450 without a data connection.
        if (LastCmdResult().NumericCode() != 450 && openDataChannel()) {
            m_transfer.Handler()->ReadStream(destination, -1, true);
        }
    } catch (...) {
        rethrowUnlessAborted();
    }
    finishTransfer(false);
}

void TIdFTP::send(const std::string& command, TStream& source, bool fromStart) {
    beginTransfer();
    try {
        // Passive uploads connect once the command is out.
        startDataTransfer(command, std::nullopt, m_passive ? TIdReplyCodes{110, 125, 150} : TIdReplyCodes{125, 150},
                          true);
        if (openDataChannel()) {
            try {
                m_transfer.Handler()->WriteStream(source, fromStart ? 0 : -1);
            } catch (const EIdSocketError& error) {
                if (error.LastError() != ENOTSOCK) {
                    throw;
                }
            }
        }
    } catch (const EIdConnClosedGracefully&) {
        // The server closing the data connection is not an error of the upload itself;
        // its completion reply says how the upload went.
    } catch (...) {
        rethrowUnlessAborted();
    }
    finishTransfer(false);
}

void TIdFTP::Download(const std::string& remoteName, TStream& destination, bool resume) {
    const bool resuming = resume && ResumeSupported();
    if (OnBeforeGet) {
        OnBeforeGet(destination);
    }
    // A file that is busy or missing (450) is an error here, not an empty download.
    receive("RETR " + remoteName, destination, resuming, false);
    if (OnAfterGet) {
        OnAfterGet(destination);
    }
}

void TIdFTP::Upload(TStream& source, const std::string& remoteName, bool append) {
    if (remoteName.empty()) {
        throw EIdFTPUploadFileNameCanNotBeEmpty();
    }
    if (OnBeforePut) {
        OnBeforePut(source);
    }
    send((append ? "APPE " : "STOR ") + remoteName, source, !append);
    if (OnAfterPut) {
        OnAfterPut();
    }
}

namespace {

// A listing is the one thing held whole in memory; a server that never ends it must
// not take all of it. It is kept in the blocks it came in: a text that grew by doubling
// would take up to twice its size and, while it moved, three times (a folder of a
// million files lists 70 MB). The blocks join its lines as they fill, so a parse can
// follow the listing while it arrives.
class CappedListingStream : public harbrook::TStream {
public:
    CappedListingStream(std::int64_t limit, std::function<void(const TIdListingLines&)> arrived)
        : m_limit(limit), m_arrived(std::move(arrived)) {}

    std::int64_t Read(void*, std::int64_t) override { return 0; }
    void Write(const void* buffer, std::int64_t count) override {
        if (count <= 0) {
            return;
        }
        if (m_size + count > m_limit) {
            throw EIdListingTooLong("Listing too long: more than " + std::to_string(m_limit) + " bytes");
        }
        m_size += count;
        m_position = m_size;
        if (m_listing.Add(static_cast<const char*>(buffer), static_cast<std::size_t>(count)) && m_arrived) {
            m_arrived(m_listing.Lines());
        }
    }
    std::int64_t Size() const override { return m_size; }
    void SetSize(std::int64_t size) override {
        if (size != 0) {
            throw harbrook::EStreamError("A listing can only be emptied");
        }
        m_listing.Clear();
        m_size = 0;
        m_position = 0;
    }
    // The lines of the whole listing; the stream is empty afterwards.
    TIdListingLines TakeLines() {
        TIdListingLines lines = m_listing.Finish();
        SetSize(0);
        return lines;
    }

private:
    std::int64_t m_limit;
    std::function<void(const TIdListingLines&)> m_arrived;
    std::int64_t m_size = 0;
    TIdArrivingListing m_listing;
};

}  // namespace

void TIdFTP::ListDirectory(std::vector<std::string>* destination, const std::string& specifier,
                           bool details) {
    listDirectory(destination, specifier, details, nullptr);
}

void TIdFTP::ListDirectoryHandingOn(std::size_t batch, const std::function<void(const TIdFTPListItems&)>& take,
                                    const std::function<void()>& restart) {
    m_directoryItems.reset();
    TIdListingParseAhead ahead(DefaultListParsers(), true, SystemDesc(), batch, take);
    listDirectory(nullptr, "", true, &ahead);
    if (std::optional<std::string> layout = ahead.Finish(m_listResult.Lines)) {
        m_listParserIdentifier = std::move(*layout);
        if (OnDirParseEnd) {
            OnDirParseEnd();
        }
        return;
    }
    if (ahead.HandedOn() && restart) {
        restart();
    }
    HandOnDirectoryItems(batch, take);
}

void TIdFTP::listDirectory(std::vector<std::string>* destination, const std::string& specifier, bool details,
                           TIdListingParseAhead* ahead) {
    bool started = false;
    // A listing that fails leaves the last one as it was, its layout's name with it.
    struct KeepLayoutUnlessDone {
        std::string& layout;
        const std::string previous;
        bool done = false;
        ~KeepLayoutUnlessDone() {
            if (!done) {
                layout = previous;
            }
        }
    } keepLayout{m_listParserIdentifier, m_listParserIdentifier};
    CappedListingStream text(m_maxListingSize, [&](const TIdListingLines& lines) {
        if (ahead == nullptr) {
            return;
        }
        ahead->Arrived(lines);
        if (!started) {
            // Entries handed on while the listing arrives are asked for their layout:
            // it is set once (they are handed on from the thread that parses them).
            m_listParserIdentifier = ahead->Identifier();
            if (!m_listParserIdentifier.empty()) {
                started = true;
                if (OnDirParseStart) {
                    OnDirParseStart();
                }
            }
        }
    });
    // The parse beside reads the listing's text: a listing that fails stops it before
    // the text goes.
    struct HaltParseUnlessDone {
        TIdListingParseAhead* ahead;
        bool done = false;
        ~HaltParseUnlessDone() {
            if (!done && ahead != nullptr) {
                ahead->Halt();
            }
        }
    } haltParse{ahead};
    bool machineList = false;
    if (m_usingMLIS && details) {
        if (ahead != nullptr) {
            ahead->Expect("MLST");
        }
        receive(harbrook::trimControl("MLSD " + harbrook::trimControl(specifier)), text, false, true);
        machineList = true;
    } else {
        // Listings are text; a binary session switches to ASCII around them.
        const TIdFTPTransferType saved = m_transferType;
        const bool switchType = saved != ftASCII;
        if (switchType) {
            sendTransferTypeCommand(ftASCII);
        }
        try {
            receive(harbrook::trimControl((details ? "LIST " : "NLST ") + specifier), text, false,
                    true);
        } catch (...) {
            if (switchType) {
                try {
                    sendTransferTypeCommand(saved);
                } catch (const EIdException&) {
                    // The listing's own failure is the one to report.
                }
            }
            throw;
        }
        if (switchType) {
            sendTransferTypeCommand(saved);
        }
    }
    keepLayout.done = true;
    haltParse.done = true;
    m_directoryItems.reset();
    // (Left alone when it is the same: entries may still be handed on beside.)
    if (std::string identifier = ahead != nullptr ? ahead->Identifier() : std::string();
        identifier != m_listParserIdentifier) {
        m_listParserIdentifier = std::move(identifier);
    }
    m_listResult.Lines = text.TakeLines();
    m_listResult.Detailed = details;
    m_listResult.MachineList = machineList;
    if (destination != nullptr) {
        *destination = m_listResult.Lines.ToStrings();
    }
    if (OnRetrievedDir) {
        OnRetrievedDir();
    }
}

void TIdFTP::ClearListing() {
    // The entries point into the lines: they go first.
    m_directoryItems.reset();
    m_listParserIdentifier.clear();
    m_listResult = {};
}

TIdFTPListItems& TIdFTP::DirectoryItems() {
    if (!m_directoryItems) {
        m_directoryItems = std::make_unique<TIdFTPListItems>();
        parseListing(*m_directoryItems);
    }
    return *m_directoryItems;
}

void TIdFTP::HandOnDirectoryItems(std::size_t batch,
                                  const std::function<void(const TIdFTPListItems&)>& take) {
    m_directoryItems.reset();
    TIdFTPListItems items;
    items.HandOnEvery(batch, take);
    parseListing(items);
}

void TIdFTP::parseListing(TIdFTPListItems& items) {
    // The lines stay until the next listing, which drops these entries first.
    items.ReferTo(&m_listResult.Lines);
    // At most one entry a line: room for all at once, not a list copied while it grows.
    items.Reserve(m_listResult.Lines.size());
    if (OnDirParseStart) {
        OnDirParseStart();
    }
    if (m_listResult.MachineList) {
        // Named first: entries handed on while they are parsed may ask for it.
        m_listParserIdentifier = "MLST";
        DefaultListParsers().ParseListing(m_listResult.Lines, items, "MLST");
    } else {
        DefaultListParsers().CheckAndParseListing(m_listResult.Lines, items, m_listResult.Detailed,
                                                  SystemDesc(), m_listParserIdentifier);
    }
    if (OnDirParseEnd) {
        OnDirParseEnd();
    }
}

bool TIdFTP::LastTransferAborted() {
    return m_transfer.Aborted();
}

bool TIdFTP::InterruptTransfer() {
    return m_transfer.Interrupt();
}

void TIdFTP::Abort() {
    if (m_transfer.InterruptUnlessIdle()) {
        return;
    }
    if (Connected()) {
        WriteCommand("ABOR");
        ReadReply();
    }
}
