// The cryptography of the Grok account: base64url, SHA-256, secure random bytes, a P-256 key.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace veska::crypto {

/// Standard base64 with "+" → "-", "/" → "_" and no "=" padding.
[[nodiscard]] std::string b64u(std::string_view bytes);
/// The 32-byte SHA-256 digest of `bytes`.
[[nodiscard]] std::string sha256(std::string_view bytes);
/// `count` bytes from the system's secure random generator.
[[nodiscard]] std::string secureRandom(std::size_t count);

/// An ECDSA P-256 private key made in memory (never stored). Move-only.
class P256Key {
public:
    /// A fresh key; aborts when the system cannot make one (no entropy, broken library).
    [[nodiscard]] static P256Key generate();

    P256Key(P256Key&&) noexcept;
    P256Key& operator=(P256Key&&) noexcept;
    ~P256Key();

    /// The public key in raw form: 32 bytes of X followed by 32 bytes of Y.
    [[nodiscard]] const std::string& publicRaw() const { return publicRaw_; }
    /// ECDSA with SHA-256 over `input`, in raw form: 32 bytes of r followed by 32 bytes of s.
    [[nodiscard]] std::string signRaw(std::string_view input) const;

private:
    struct Handle;
    explicit P256Key(std::unique_ptr<Handle> handle);

    std::unique_ptr<Handle> handle_;
    std::string publicRaw_;
};

}  // namespace veska::crypto
