// Apart from md5.cpp: the launcher players run links that file, and an image
// it carries must stay byte for byte what it is.
#include "digest/md5.h"

#include <algorithm>

namespace tarnwick {

std::string Md5Hex(std::string_view bytes)
{
    MD5Context context;
    MD5Init(context);
    // Fed in pieces: the update takes a 32-bit length.
    constexpr std::size_t kPiece = 1u << 30;
    for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
        const std::size_t length = std::min(kPiece, bytes.size() - at);
        MD5Update(context, bytes.data() + at, static_cast<std::uint32_t>(length));
    }
    Digest digest;
    MD5Final(context, digest);
    return DigestToHex(digest);
}

} // namespace tarnwick
