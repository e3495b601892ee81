// What a launcher reads from the network when it patches a file: the block
// index and a multipart/byteranges body, from whoever is on the network path.
// An index either reads whole and consistent or is refused with a reason, and
// one that reads writes back to the same bytes; the multipart reader hands on
// no more bytes than the Content-Range of each part names.
#include "fuzz_support.h"

#include "digest/block_index.h"
#include "player_launcher/core/delta_fetch.h"

#include <cstdint>
#include <string>

using namespace tarnwick;
using namespace tarnwick::fuzzing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string why;
    if (const std::optional<blocks::BlockIndex> index = blocks::DecodeIndex(bytes, why)) {
        if (blocks::EncodeIndex(*index) != bytes)
            Broken("an index read does not write back to its bytes");
        if (index->blocks.size() * std::uint64_t(index->blockSize) < index->length)
            Broken("an index read has too few blocks for its length");
    } else if (why.empty()) {
        Broken("a refused index has no reason");
    }

    // The same bytes as a multipart body, fed in two pieces.
    std::uint64_t named = 0;
    std::uint64_t handed = 0;
    player::ByteRangesReader reader(
        "B",
        [&](const player::ContentRange& range) {
            named += range.last - range.first + 1;
            return std::string();
        },
        [&](std::string_view part) {
            handed += part.size();
            return std::string();
        });
    const std::size_t half = size / 2;
    if (reader.Feed(bytes.substr(0, half)).empty())
        reader.Feed(bytes.substr(half));
    if (handed > named)
        Broken("the multipart reader handed on more than the parts named");
    return 0;
}
