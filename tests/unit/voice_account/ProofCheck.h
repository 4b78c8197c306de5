// Reads and verifies a proof with OpenSSL, independently of the code that made it.
#pragma once

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace veska::testing {

/// Base64url without padding back to bytes; nothing for a character outside the alphabet.
inline std::optional<std::string> fromB64u(const std::string& text) {
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    for (char c : text) {
        int v = -1;
        if (c >= 'A' && c <= 'Z') v = c - 'A';
        if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
        if (c >= '0' && c <= '9') v = c - '0' + 52;
        if (c == '-') v = 62;
        if (c == '_') v = 63;
        if (v < 0) return std::nullopt;
        buffer = (buffer << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xff);
        }
    }
    return out;
}

struct DecodedProof {
    nlohmann::json header;
    nlohmann::json claims;
    std::string signingInput;
    std::string signature;  // raw r || s
};

inline std::optional<DecodedProof> decodeProof(const std::string& proof) {
    const auto first = proof.find('.');
    const auto second = proof.find('.', first + 1);
    if (first == std::string::npos || second == std::string::npos) return std::nullopt;
    auto header = fromB64u(proof.substr(0, first));
    auto claims = fromB64u(proof.substr(first + 1, second - first - 1));
    auto signature = fromB64u(proof.substr(second + 1));
    if (!header || !claims || !signature) return std::nullopt;
    return DecodedProof{nlohmann::json::parse(*header), nlohmann::json::parse(*claims), proof.substr(0, second),
                        *signature};
}

/// True when `signature` (raw r || s) is an ES256 signature of `input` by the key whose JWK
/// coordinates are `x` and `y`.
inline bool verifyES256(const std::string& x, const std::string& y, const std::string& input,
                        const std::string& signature) {
    auto xs = fromB64u(x);
    auto ys = fromB64u(y);
    if (!xs || !ys || xs->size() != 32 || ys->size() != 32 || signature.size() != 64) return false;
    const std::string point = std::string(1, '\x04') + *xs + *ys;
    OSSL_PARAM_BLD* build = OSSL_PARAM_BLD_new();
    OSSL_PARAM_BLD_push_utf8_string(build, OSSL_PKEY_PARAM_GROUP_NAME, "P-256", 0);
    OSSL_PARAM_BLD_push_octet_string(build, OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size());
    OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(build);
    EVP_PKEY_CTX* fromData = EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr);
    EVP_PKEY* key = nullptr;
    bool ok = EVP_PKEY_fromdata_init(fromData) == 1 &&
              EVP_PKEY_fromdata(fromData, &key, EVP_PKEY_PUBLIC_KEY, params) == 1;
    EVP_PKEY_CTX_free(fromData);
    OSSL_PARAM_free(params);
    OSSL_PARAM_BLD_free(build);
    if (!ok) return false;

    ECDSA_SIG* sig = ECDSA_SIG_new();
    const auto* raw = reinterpret_cast<const unsigned char*>(signature.data());
    ECDSA_SIG_set0(sig, BN_bin2bn(raw, 32, nullptr), BN_bin2bn(raw + 32, 32, nullptr));
    unsigned char* der = nullptr;
    const int derLength = i2d_ECDSA_SIG(sig, &der);
    ECDSA_SIG_free(sig);

    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ok = EVP_DigestVerifyInit(context, nullptr, EVP_sha256(), nullptr, key) == 1 &&
         EVP_DigestVerify(context, der, static_cast<std::size_t>(derLength),
                          reinterpret_cast<const unsigned char*>(input.data()), input.size()) == 1;
    EVP_MD_CTX_free(context);
    OPENSSL_free(der);
    EVP_PKEY_free(key);
    return ok;
}


}  // namespace veska::testing
