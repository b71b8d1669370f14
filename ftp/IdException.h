#pragma once

#include <stdexcept>
#include <string>

// Every failure below the FTP client is one of these; callers show what() to the user.
class EIdException : public std::runtime_error {
public:
    explicit EIdException(const std::string& message = {}) : std::runtime_error(message) {}
};

// Declares an exception class whose message defaults to the given text.
#define HARBROOK_ID_EXCEPTION(Name, Base, DefaultMessage)                          \
    class Name : public Base {                                                    \
    public:                                                                       \
        explicit Name(const std::string& message = DefaultMessage) : Base(message) {} \
    }

HARBROOK_ID_EXCEPTION(EIdAlreadyConnected, EIdException, "Already connected.");
HARBROOK_ID_EXCEPTION(EIdHostRequired, EIdException, "");
HARBROOK_ID_EXCEPTION(EIdPortRequired, EIdException, "");
HARBROOK_ID_EXCEPTION(EIdConnectTimeout, EIdException, "Connect timed out.");
HARBROOK_ID_EXCEPTION(EIdNotConnected, EIdException, "Not Connected");
HARBROOK_ID_EXCEPTION(EIdConnClosedGracefully, EIdException, "Connection Closed Gracefully.");
HARBROOK_ID_EXCEPTION(EIdReadTimeout, EIdException, "Read timed out.");
HARBROOK_ID_EXCEPTION(EIdReadLnMaxLineLengthExceeded, EIdException, "Max line length exceeded.");
HARBROOK_ID_EXCEPTION(EIdReadLnWaitMaxAttemptsExceeded, EIdException,
                      "Max line read attempts exceeded.");
HARBROOK_ID_EXCEPTION(EIdNoDataToRead, EIdException, "No data to read.");
HARBROOK_ID_EXCEPTION(EIdIOHandlerRequiresLargeStream, EIdException,
                      "Streams larger than 2 GB need the large-stream setting.");
HARBROOK_ID_EXCEPTION(EIdCanNotChangeConnectedIOHandler, EIdException,
                      "Cannot change a connected IOHandler.");
// A server that never ends a reply must not be able to fill our memory.
HARBROOK_ID_EXCEPTION(EIdReplyTooLong, EIdException,
                      "The server's reply is too long (more than 100000 lines or 1 MB).");
// A server that never ends a listing must not be able to fill our memory either.
HARBROOK_ID_EXCEPTION(EIdListingTooLong, EIdException, "Listing too long");
// A name holding a line break would smuggle a second command to the server.
HARBROOK_ID_EXCEPTION(EIdCommandLineInvalid, EIdException,
                      "The command was not sent: it contains a CR, LF or NUL character.");
// A reply the server owed (its reading had timed out) did not come before the next
// command: the replies would no longer belong to their commands.
HARBROOK_ID_EXCEPTION(EIdRepliesOutOfStep, EIdException,
                      "The server has not answered an earlier command; the connection was closed to keep "
                      "its replies in step.");
HARBROOK_ID_EXCEPTION(EIdFTPException, EIdException, "");

// A socket call failed; the message is "Socket Error # n" CR LF and the error's text.
class EIdSocketError : public EIdException {
public:
    explicit EIdSocketError(int error);
    int LastError() const { return m_error; }

private:
    int m_error;
};

// The server refused a command: the message is the reply's text, each line followed by
// CR LF, and ErrorCode() the reply's numeric code.
class EIdReplyRFCError : public EIdException {
public:
    EIdReplyRFCError(int errorCode, const std::string& message)
        : EIdException(message), m_errorCode(errorCode) {}
    int ErrorCode() const { return m_errorCode; }

private:
    int m_errorCode;
};
