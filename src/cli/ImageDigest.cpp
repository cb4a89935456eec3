#include "cli/ImageDigest.h"

#include <array>
#include <cstdio>
#include <nettle/sha1.h>
#include <zlib.h>

namespace quennel::cli {

namespace {
std::string LowerHex(std::span<const uint8_t> bytes) {
    std::string text;
    for (uint8_t byte : bytes) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", byte);
        text += digits;
    }
    return text;
}
} // namespace

std::string Crc32Text(std::span<const uint8_t> image) {
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), image.data(), static_cast<uInt>(image.size()));
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08lx", crc);
    return digits;
}

std::string Sha1Text(std::span<const uint8_t> image) {
    sha1_ctx context;
    sha1_init(&context);
    sha1_update(&context, image.size(), image.data());
    std::array<uint8_t, SHA1_DIGEST_SIZE> digest{};
    sha1_digest(&context, digest.size(), digest.data());
    return LowerHex(digest);
}

} // namespace quennel::cli
