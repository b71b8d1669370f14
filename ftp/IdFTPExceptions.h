#pragma once

#include "ftp/IdException.h"

// Explicit TLS on a client connection.
HARBROOK_ID_EXCEPTION(EIdTLSClientException, EIdException, "");
HARBROOK_ID_EXCEPTION(EIdTLSClientTLSNotAvailable, EIdTLSClientException,
                      "Start SSL negotiation command failed.");
HARBROOK_ID_EXCEPTION(EIdTLSClientTLSHandShakeFailed, EIdTLSClientException,
                      "SSL is not available on this server.");
HARBROOK_ID_EXCEPTION(EIdTLSClientCanNotSetWhileConnected, EIdTLSClientException,
                      "This value can not be set while the client is connected.");
HARBROOK_ID_EXCEPTION(EIdTLSClientSSLIOHandlerRequred, EIdTLSClientException,
                      "SSL IOHandler is required for this setting");
// The server's certificate was not accepted; nothing of the login was sent.
HARBROOK_ID_EXCEPTION(EIdTLSClientCertificateRejected, EIdTLSClientException,
                      "The server's certificate is not trusted.");

// OpenSSL.
HARBROOK_ID_EXCEPTION(EIdOpenSSLError, EIdException, "");
HARBROOK_ID_EXCEPTION(EIdOSSLCouldNotLoadSSLLibrary, EIdOpenSSLError, "Could not load SSL library.");
HARBROOK_ID_EXCEPTION(EIdOSSLCreatingContextError, EIdOpenSSLError, "Error creating SSL context.");
HARBROOK_ID_EXCEPTION(EIdOSSLGetMethodError, EIdOpenSSLError, "Error geting SSL method.");
HARBROOK_ID_EXCEPTION(EIdOSSLSettingCipherError, EIdOpenSSLError, "SetCipher failed.");
HARBROOK_ID_EXCEPTION(EIdOSSLDataBindingError, EIdOpenSSLError, "Error binding data to SSL socket.");
HARBROOK_ID_EXCEPTION(EIdOSSLFDSetError, EIdOpenSSLError, "Error setting File Descriptor for SSL");
HARBROOK_ID_EXCEPTION(EIdOSSLConnectError, EIdOpenSSLError, "Error connecting with SSL.");
// A TLS record layer failure after the handshake (a corrupt record, say).
HARBROOK_ID_EXCEPTION(EIdOSSLUnderlyingCryptoError, EIdOpenSSLError, "TLS error on the connection.");
// The trusted authorities named in the options cannot be read.
HARBROOK_ID_EXCEPTION(EIdOSSLCouldNotLoadAuthorities, EIdOpenSSLError,
                      "Could not load the trusted certificates.");
// A further connection of a session (a data connection) presented another certificate
// than the session's control connection.
HARBROOK_ID_EXCEPTION(EIdOSSLPeerCertificateChanged, EIdOpenSSLError,
                      "The data connection presented another certificate than the control "
                      "connection; nothing was transferred.");

// The FTP client.
// The server refused the login (USER, PASS or ACCT answered 4xx or 5xx): the reply's
// code and text. Trying again would only send the same password again.
class EIdFTPLoginRefused : public EIdReplyRFCError {
public:
    using EIdReplyRFCError::EIdReplyRFCError;
};
HARBROOK_ID_EXCEPTION(EIdFTPWrongIOHandler, EIdFTPException, "IOHandler is of wrong type.");
HARBROOK_ID_EXCEPTION(EIdFTPNoAUTHWOSSL, EIdFTPException, "Can not set AUTH without SSL.");
HARBROOK_ID_EXCEPTION(EIdFTPCanNotSetAUTHCon, EIdFTPException, "Can not set AUTH while connected.");
HARBROOK_ID_EXCEPTION(EIdFTPNoDataPortProtectionWOEncryption, EIdFTPException,
                      "Can not set DataPortProtection with unencrypted connections.");
HARBROOK_ID_EXCEPTION(EIdFTPNoDataPortProtectionAfterCCC, EIdFTPException,
                      "Can not set DataPortProtection after CCC issued.");
HARBROOK_ID_EXCEPTION(EIdFTPNoCCCWOEncryption, EIdFTPException, "Can not set CCC without encyption.");
HARBROOK_ID_EXCEPTION(EIdFTPMustUseExtWithIPv6, EIdFTPException,
                      "UseExtensionDataPort must be true for IPv6 connections.");
HARBROOK_ID_EXCEPTION(EIdFTPMustUseExtWithNATFastTrack, EIdFTPException,
                      "UseExtensionDataPort must be true for NAT fasttracking.");
HARBROOK_ID_EXCEPTION(EIdFTPPassiveMustBeTrueWithNATFT, EIdFTPException,
                      "Can not use active transfers with NAT fastracking.");
HARBROOK_ID_EXCEPTION(EIdFTPOnCustomFTPProxyRequired, EIdFTPException,
                      "OnCustomFTPProxy required but not assigned");
HARBROOK_ID_EXCEPTION(EIdSocksServerCommandError, EIdException, "Command not supported.");
HARBROOK_ID_EXCEPTION(EIdOTPUnknownMethod, EIdException, "Unknown OTP method");

namespace harbrook {

// A text that should have been a number or a time was not; ends what was going on.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace harbrook

// Data connections.
HARBROOK_ID_EXCEPTION(EIdAcceptTimeout, EIdException, "Accept timed out.");
HARBROOK_ID_EXCEPTION(EIdInvalidPortRange, EIdException, "Invalid Port Range");
HARBROOK_ID_EXCEPTION(EIdCanNotBindPortInRange, EIdException, "Can not bind in port range");
HARBROOK_ID_EXCEPTION(EIdCouldNotBindSocket, EIdException,
                      "Could not bind socket. Address and port are already in use.");
HARBROOK_ID_EXCEPTION(EIdFTPServerSentInvalidPort, EIdFTPException, "Server sent invalid port number");
HARBROOK_ID_EXCEPTION(EIdFTPUploadFileNameCanNotBeEmpty, EIdFTPException,
                      "The destination filename can not be empty");

// Listing parsers.
HARBROOK_ID_EXCEPTION(EIdFTPListParseError, EIdException,
                      "No IdFTPListParse classes have been registered. Check your uses clause!");
