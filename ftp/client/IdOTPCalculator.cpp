#include "ftp/client/IdOTPCalculator.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "ftp/IdFTPExceptions.h"

namespace harbrook {

namespace {

std::uint32_t rotateLeft(std::uint32_t value, int bits) {
    return (value << bits) | (value >> (32 - bits));
}

void md4Block(std::uint32_t state[4], const std::uint8_t block[64]) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i) {
        x[i] = static_cast<std::uint32_t>(block[i * 4]) |
               static_cast<std::uint32_t>(block[i * 4 + 1]) << 8 |
               static_cast<std::uint32_t>(block[i * 4 + 2]) << 16 |
               static_cast<std::uint32_t>(block[i * 4 + 3]) << 24;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    auto f = [](std::uint32_t x1, std::uint32_t y, std::uint32_t z) { return (x1 & y) | (~x1 & z); };
    auto g = [](std::uint32_t x1, std::uint32_t y, std::uint32_t z) {
        return (x1 & y) | (x1 & z) | (y & z);
    };
    auto h = [](std::uint32_t x1, std::uint32_t y, std::uint32_t z) { return x1 ^ y ^ z; };

    static const int round1Shifts[4] = {3, 7, 11, 19};
    for (int i = 0; i < 16; ++i) {
        const std::uint32_t t = rotateLeft(a + f(b, c, d) + x[i], round1Shifts[i % 4]);
        a = d; d = c; c = b; b = t;
    }
    static const int round2Order[16] = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
    static const int round2Shifts[4] = {3, 5, 9, 13};
    for (int i = 0; i < 16; ++i) {
        const std::uint32_t t =
            rotateLeft(a + g(b, c, d) + x[round2Order[i]] + 0x5A827999u, round2Shifts[i % 4]);
        a = d; d = c; c = b; b = t;
    }
    static const int round3Order[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
    static const int round3Shifts[4] = {3, 9, 11, 15};
    for (int i = 0; i < 16; ++i) {
        const std::uint32_t t =
            rotateLeft(a + h(b, c, d) + x[round3Order[i]] + 0x6ED9EBA1u, round3Shifts[i % 4]);
        a = d; d = c; c = b; b = t;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

std::uint64_t foldedDigest(OtpMethod method, const std::string& input) {
    std::uint8_t folded[8];
    if (method == OtpMethod::Sha1) {
        std::uint8_t digest[EVP_MAX_MD_SIZE];
        EVP_Digest(input.data(), input.size(), digest, nullptr, EVP_sha1(), nullptr);
        std::uint32_t words[5];
        for (int i = 0; i < 5; ++i) {
            words[i] = static_cast<std::uint32_t>(digest[i * 4]) << 24 |
                       static_cast<std::uint32_t>(digest[i * 4 + 1]) << 16 |
                       static_cast<std::uint32_t>(digest[i * 4 + 2]) << 8 | digest[i * 4 + 3];
        }
        words[0] ^= words[2];
        words[1] ^= words[3];
        words[0] ^= words[4];
        // The standard takes the two folded words with their bytes in little-endian order.
        for (int i = 0; i < 2; ++i) {
            for (int j = 0; j < 4; ++j) {
                folded[i * 4 + j] = static_cast<std::uint8_t>(words[i] >> (8 * j));
            }
        }
    } else {
        std::array<std::uint8_t, 16> digest{};
        if (method == OtpMethod::Md4) {
            digest = md4Digest(input.data(), input.size());
        } else {
            std::uint8_t md5[EVP_MAX_MD_SIZE];
            EVP_Digest(input.data(), input.size(), md5, nullptr, EVP_md5(), nullptr);
            std::copy(md5, md5 + 16, digest.begin());
        }
        for (int i = 0; i < 8; ++i) {
            folded[i] = digest[i] ^ digest[i + 8];
        }
    }
    std::uint64_t key = 0;
    for (std::uint8_t byte : folded) {
        key = key << 8 | byte;
    }
    return key;
}

std::string keyBytes(std::uint64_t key) {
    std::string bytes(8, '\0');
    for (int i = 7; i >= 0; --i) {
        bytes[static_cast<size_t>(i)] = static_cast<char>(key & 0xFF);
        key >>= 8;
    }
    return bytes;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

std::array<std::uint8_t, 16> md4Digest(const void* data, std::size_t length) {
    std::uint32_t state[4] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t offset = 0;
    for (; offset + 64 <= length; offset += 64) {
        md4Block(state, bytes + offset);
    }
    std::uint8_t tail[128] = {};
    const std::size_t rest = length - offset;
    std::memcpy(tail, bytes + offset, rest);
    tail[rest] = 0x80;
    const std::size_t tailLength = rest < 56 ? 64 : 128;
    const std::uint64_t bits = static_cast<std::uint64_t>(length) * 8;
    for (int i = 0; i < 8; ++i) {
        tail[tailLength - 8 + static_cast<size_t>(i)] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
    md4Block(state, tail);
    if (tailLength == 128) {
        md4Block(state, tail + 64);
    }
    std::array<std::uint8_t, 16> digest{};
    for (int i = 0; i < 16; ++i) {
        digest[static_cast<size_t>(i)] = static_cast<std::uint8_t>(state[i / 4] >> (8 * (i % 4)));
    }
    return digest;
}

std::uint64_t otpKey(OtpMethod method, int sequence, const std::string& seed,
                     const std::string& passPhrase) {
    std::uint64_t key = foldedDigest(method, lowerCase(seed) + passPhrase);
    for (int round = 0; round < sequence; ++round) {
        key = foldedDigest(method, keyBytes(key));
    }
    return key;
}

std::string otpSixWords(std::uint64_t key) {
    unsigned checksum = 0;
    for (int pair = 0; pair < 32; ++pair) {
        checksum += static_cast<unsigned>(key >> (2 * pair)) & 3u;
    }
    std::string words;
    for (int word = 0; word < 6; ++word) {
        // Bits 0..63 are the key from its top bit down; bits 64 and 65 the checksum.
        unsigned index = 0;
        for (int bit = word * 11; bit < word * 11 + 11; ++bit) {
            const unsigned value = bit < 64 ? static_cast<unsigned>(key >> (63 - bit)) & 1u
                                            : (checksum >> (65 - bit)) & 1u;
            index = index << 1 | value;
        }
        if (!words.empty()) {
            words += ' ';
        }
        words += kOtpWords[index];
    }
    return words;
}

std::string otpResponse(const OtpChallenge& challenge, const std::string& passPhrase) {
    return otpSixWords(otpKey(challenge.method, challenge.sequence, challenge.seed, passPhrase));
}

std::optional<OtpChallenge> findOtpChallenge(const std::string& text) {
    const std::string lower = lowerCase(text);
    for (std::size_t at = lower.find("otp-"); at != std::string::npos;
         at = lower.find("otp-", at + 4)) {
        // The challenge form is "otp-METHOD SEQUENCE SEED"; "otp-" in other text (a
        // user name, say) is not one.
        std::size_t cursor = at + 4;
        const std::size_t methodEnd = lower.find(' ', cursor);
        if (methodEnd == std::string::npos) {
            continue;
        }
        const std::string method = lower.substr(cursor, methodEnd - cursor);
        cursor = methodEnd + 1;
        const std::size_t sequenceEnd = lower.find(' ', cursor);
        if (sequenceEnd == std::string::npos || sequenceEnd == cursor ||
            sequenceEnd - cursor > 9 ||
            !std::all_of(lower.begin() + static_cast<long>(cursor),
                         lower.begin() + static_cast<long>(sequenceEnd),
                         [](unsigned char c) { return std::isdigit(c) != 0; })) {
            continue;
        }
        const int sequence = std::stoi(lower.substr(cursor, sequenceEnd - cursor));
        cursor = sequenceEnd + 1;
        std::size_t seedEnd = cursor;
        while (seedEnd < text.size() && static_cast<unsigned char>(text[seedEnd]) > ' ') {
            ++seedEnd;
        }
        if (seedEnd == cursor) {
            continue;
        }
        std::string seed = text.substr(cursor, seedEnd - cursor);
        OtpMethod kind;
        if (method == "md4") {
            kind = OtpMethod::Md4;
        } else if (method == "md5") {
            kind = OtpMethod::Md5;
        } else if (method == "sha1") {
            kind = OtpMethod::Sha1;
        } else {
            throw EIdOTPUnknownMethod();
        }
        return OtpChallenge{kind, sequence, std::move(seed)};
    }
    return std::nullopt;
}

}  // namespace harbrook
