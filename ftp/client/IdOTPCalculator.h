#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace harbrook {

// One-time passwords of RFC 2289: a server's challenge names a hash, a sequence number
// and a seed; the answer is the pass phrase hashed that many times, folded to 64 bits
// and written as six words of the standard dictionary.
enum class OtpMethod { Md4, Md5, Sha1 };

struct OtpChallenge {
    OtpMethod method;
    int sequence;
    std::string seed;
};

extern const std::array<const char*, 2048> kOtpWords;

// The challenge in a reply text ("331 Response to otp-md5 99 seed required."), if any.
// A challenge form with a method other than md4, md5 or sha1 raises EIdOTPUnknownMethod.
std::optional<OtpChallenge> findOtpChallenge(const std::string& text);

// The 64-bit key after `sequence` extra rounds.
std::uint64_t otpKey(OtpMethod method, int sequence, const std::string& seed,
                     const std::string& passPhrase);
// The key with its two-bit checksum as six dictionary words separated by spaces.
std::string otpSixWords(std::uint64_t key);
std::string otpResponse(const OtpChallenge& challenge, const std::string& passPhrase);

// MD4 (RFC 1320), which OpenSSL 3 only offers through its legacy provider.
std::array<std::uint8_t, 16> md4Digest(const void* data, std::size_t length);

}  // namespace harbrook
