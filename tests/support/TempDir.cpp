#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace harbrook::testing {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "harbrook-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    m_path = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace harbrook::testing

#include <openssl/evp.h>

#include <random>

namespace harbrook::testing {

void writeRandomFile(const std::string& path, std::int64_t size, unsigned seed) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::mt19937_64 generator(seed);
    std::vector<std::uint64_t> block(8192);
    std::int64_t left = size;
    while (left > 0) {
        for (auto& word : block) {
            word = generator();
        }
        const auto bytes = static_cast<std::streamsize>(
            std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size() * 8)));
        out.write(reinterpret_cast<const char*>(block.data()), bytes);
        left -= bytes;
    }
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string sha256OfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        EVP_DigestUpdate(context, buffer.data(), static_cast<size_t>(in.gcount()));
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_DigestFinal_ex(context, digest, &length);
    EVP_MD_CTX_free(context);
    static const char* hex = "0123456789abcdef";
    std::string text;
    for (unsigned i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 15];
    }
    return text;
}

std::map<std::string, std::string> treeOf(const std::string& root) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        tree[std::filesystem::relative(entry.path(), root).string()] =
            entry.is_directory() ? "<dir>" : sha256OfFile(entry.path().string());
    }
    return tree;
}

}  // namespace harbrook::testing
