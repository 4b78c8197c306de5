// Random identifiers from the system's secure random source.
#include "core/app/Uuid.h"

#include <openssl/rand.h>

#include <array>
#include <cstdint>

#include "runtime/Check.h"

namespace veska {

std::string newUUIDString() {
    std::array<std::uint8_t, 16> bytes{};
    VESKA_CHECK(RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) == 1, "the secure random source failed");
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += kHex[bytes[i] >> 4];
        text += kHex[bytes[i] & 0x0F];
    }
    return text;
}

}  // namespace veska
