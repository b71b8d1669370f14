#include "update/UpdateSignature.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <fstream>
#include <memory>
#include <vector>

#include "update/UpdatePublicKey.h"

namespace harbrook::update {

namespace {

constexpr std::size_t kSignatureBytes = 64;
constexpr std::size_t kDigestBytes = 64;

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, ContextFree>;

// The SHA-512 of the file, read in blocks; nothing when it cannot be read.
std::optional<std::string> digestOf(const std::string& filePath) {
    std::ifstream file(filePath, std::ios::binary);
    DigestContext context(EVP_MD_CTX_new());
    if (!file || !context || EVP_DigestInit_ex(context.get(), EVP_sha512(), nullptr) != 1) {
        return std::nullopt;
    }
    std::vector<char> block(256 * 1024);
    while (file) {
        file.read(block.data(), static_cast<std::streamsize>(block.size()));
        if (file.gcount() > 0 && EVP_DigestUpdate(context.get(), block.data(), static_cast<std::size_t>(file.gcount())) != 1) {
            return std::nullopt;
        }
    }
    if (file.bad()) {
        return std::nullopt;
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1 || length != kDigestBytes) {
        return std::nullopt;
    }
    return std::string(reinterpret_cast<char*>(digest), length);
}

Key readKey(const std::string& pem, bool privateKey) {
    std::unique_ptr<BIO, BioFree> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    if (!bio) {
        return nullptr;
    }
    Key key(privateKey ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr)
                       : PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
    // Only Ed25519: a key of another kind would change what a signature means.
    if (key && EVP_PKEY_get_id(key.get()) != EVP_PKEY_ED25519) {
        key.reset();
    }
    return key;
}

std::string pemOf(EVP_PKEY* key, bool privateKey) {
    std::unique_ptr<BIO, BioFree> bio(BIO_new(BIO_s_mem()));
    const int written = privateKey ? PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr)
                                   : PEM_write_bio_PUBKEY(bio.get(), key);
    if (written != 1) {
        return {};
    }
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(length));
}

}  // namespace

const std::string& BuiltInUpdateKey() {
    static const std::string key = generated::kUpdatePublicKeyPem;
    return key;
}

bool SignatureIsValid(const std::string& filePath, const std::string& signature, const std::string& publicKeyPem) {
    if (signature.size() != kSignatureBytes) {
        return false;
    }
    const Key key = readKey(publicKeyPem, false);
    const auto digest = digestOf(filePath);
    DigestContext context(EVP_MD_CTX_new());
    if (!key || !digest || !context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
        return false;
    }
    return EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()), signature.size(),
                            reinterpret_cast<const unsigned char*>(digest->data()), digest->size()) == 1;
}

bool MakeSigningKeys(std::string& privatePem, std::string& publicPem) {
    Key key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"));
    if (!key) {
        return false;
    }
    privatePem = pemOf(key.get(), true);
    publicPem = pemOf(key.get(), false);
    return !privatePem.empty() && !publicPem.empty();
}

std::optional<std::string> SignFile(const std::string& filePath, const std::string& privatePem) {
    const Key key = readKey(privatePem, true);
    const auto digest = digestOf(filePath);
    DigestContext context(EVP_MD_CTX_new());
    if (!key || !digest || !context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
        return std::nullopt;
    }
    unsigned char signature[kSignatureBytes];
    std::size_t length = sizeof signature;
    if (EVP_DigestSign(context.get(), signature, &length, reinterpret_cast<const unsigned char*>(digest->data()),
                       digest->size()) != 1) {
        return std::nullopt;
    }
    return std::string(reinterpret_cast<char*>(signature), length);
}

}  // namespace harbrook::update
