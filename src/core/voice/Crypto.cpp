// P-256 signing, SHA-256, base64url and random bytes over OpenSSL's libcrypto.
#include "core/voice/Crypto.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include "runtime/Check.h"

namespace veska::crypto {

namespace {

constexpr std::size_t kCoordinateBytes = 32;
constexpr std::size_t kUncompressedPointBytes = 1 + 2 * kCoordinateBytes;

}  // namespace

std::string b64u(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    const auto at = [&](std::size_t k) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[k])); };
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned n = (at(i) << 16) | (at(i + 1) << 8) | at(i + 2);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += kAlphabet[(n >> 6) & 63];
        out += kAlphabet[n & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest == 1) {
        const unsigned n = at(i) << 16;
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
    } else if (rest == 2) {
        const unsigned n = (at(i) << 16) | (at(i + 1) << 8);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += kAlphabet[(n >> 6) & 63];
    }
    return out;
}

std::string sha256(std::string_view bytes) {
    std::string digest(EVP_MAX_MD_SIZE, '\0');
    unsigned int length = 0;
    const int ok = EVP_Digest(bytes.data(), bytes.size(), reinterpret_cast<unsigned char*>(digest.data()), &length,
                              EVP_sha256(), nullptr);
    VESKA_CHECK(ok == 1, "SHA-256 failed");
    digest.resize(length);
    return digest;
}

std::string secureRandom(std::size_t count) {
    std::string bytes(count, '\0');
    const int ok = RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count));
    VESKA_CHECK(ok == 1, "the secure random generator failed");
    return bytes;
}

struct P256Key::Handle {
    EVP_PKEY* key = nullptr;
    ~Handle() { EVP_PKEY_free(key); }
};

P256Key P256Key::generate() {
    auto handle = std::make_unique<Handle>();
    handle->key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
    VESKA_CHECK(handle->key != nullptr, "P-256 key generation failed");
    return P256Key(std::move(handle));
}

P256Key::P256Key(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {
    unsigned char point[kUncompressedPointBytes];
    std::size_t length = 0;
    const int ok = EVP_PKEY_get_octet_string_param(handle_->key, OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point, &length);
    VESKA_CHECK(ok == 1 && length == kUncompressedPointBytes && point[0] == 0x04, "P-256 public key export failed");
    publicRaw_.assign(reinterpret_cast<const char*>(point + 1), 2 * kCoordinateBytes);
}

P256Key::P256Key(P256Key&&) noexcept = default;
P256Key& P256Key::operator=(P256Key&&) noexcept = default;
P256Key::~P256Key() = default;

std::string P256Key::signRaw(std::string_view input) const {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    VESKA_CHECK(context != nullptr, "out of memory");
    std::size_t derLength = 0;
    bool ok = EVP_DigestSignInit(context, nullptr, EVP_sha256(), nullptr, handle_->key) == 1 &&
              EVP_DigestSign(context, nullptr, &derLength, reinterpret_cast<const unsigned char*>(input.data()),
                             input.size()) == 1;
    std::string der(derLength, '\0');
    ok = ok && EVP_DigestSign(context, reinterpret_cast<unsigned char*>(der.data()), &derLength,
                              reinterpret_cast<const unsigned char*>(input.data()), input.size()) == 1;
    EVP_MD_CTX_free(context);
    VESKA_CHECK(ok, "ECDSA signing failed");

    const auto* cursor = reinterpret_cast<const unsigned char*>(der.data());
    ECDSA_SIG* signature = d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(derLength));
    VESKA_CHECK(signature != nullptr, "ECDSA signature decoding failed");
    std::string raw(2 * kCoordinateBytes, '\0');
    auto* out = reinterpret_cast<unsigned char*>(raw.data());
    const bool padded = BN_bn2binpad(ECDSA_SIG_get0_r(signature), out, kCoordinateBytes) == kCoordinateBytes &&
                        BN_bn2binpad(ECDSA_SIG_get0_s(signature), out + kCoordinateBytes, kCoordinateBytes) ==
                            kCoordinateBytes;
    ECDSA_SIG_free(signature);
    VESKA_CHECK(padded, "ECDSA signature out of range");
    return raw;
}

}  // namespace veska::crypto
