#pragma once

#include <optional>
#include <string>

// Signed updates. An installer is signed by the SHA-512 digest of its bytes, signed with
// Ed25519: the signature file ("HarbrookInstall.exe.sig") holds the 64 bytes of that
// signature. The digest is computed while reading the file in blocks, so no installer is
// held whole in memory. The same with the openssl tool:
//   openssl dgst -sha512 -binary -out digest HarbrookInstall.exe
//   openssl pkeyutl -sign -rawin -inkey private.pem -in digest -out HarbrookInstall.exe.sig

namespace harbrook::update {

// The public key (PEM) the build names; updates signed with any other key are refused.
const std::string& BuiltInUpdateKey();

// Whether `signature` is a valid signature of the file's contents under `publicKeyPem`.
// False for a missing file, a malformed key or signature, or any other doubt.
bool SignatureIsValid(const std::string& filePath, const std::string& signature, const std::string& publicKeyPem);

// For whoever publishes an update: a new key pair as PEM texts (private, public).
bool MakeSigningKeys(std::string& privatePem, std::string& publicPem);
// The signature of a file with a private key (PEM); nothing when it cannot be made.
std::optional<std::string> SignFile(const std::string& filePath, const std::string& privatePem);

}  // namespace harbrook::update
