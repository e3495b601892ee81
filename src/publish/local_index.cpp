#include "publish/local_index.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "base/translatable.h"
#include "digest/block_index.h"
#include "digest/md5.h"

#include <optional>

namespace tarnwick::publish {
namespace {

LocalIndex Described(const std::filesystem::path& path, const blocks::BlockIndex& index, const std::string& bytes,
                     bool made)
{
    return {path, bytes.size(), Md5Hex(bytes), index.blockSize, index.blocks.size(), made};
}

// The index beside the file as it reads, none when there is none or it is no index.
std::optional<std::pair<blocks::BlockIndex, std::string>> ReadIndex(const std::filesystem::path& path)
{
    std::string bytes;
    try {
        bytes = ReadFile(path, SizeLimit{blocks::kMaxIndexBytes, "16 MiB"});
    } catch (const Error&) {
        // Missing, too large or unreadable: made again, and writing it says
        // what is wrong with the folder, if anything is.
        return std::nullopt;
    }
    std::string why;
    std::optional<blocks::BlockIndex> index = blocks::DecodeIndex(bytes, why);
    if (!index)
        return std::nullopt;
    return std::pair{std::move(*index), std::move(bytes)};
}

LocalIndex Store(const std::filesystem::path& file, const blocks::BlockIndex& index)
{
    const std::string bytes = blocks::EncodeIndex(index);
    const std::filesystem::path path = IndexPathFor(file);
    // Atomic is enough: an index that a power loss damaged or took back to
    // an older version does not read as the file's and is made again.
    ReplaceFile(path, bytes, Durability::Atomic);
    return Described(path, index, bytes, true);
}

} // namespace

bool WantsIndex(std::uint64_t fileSize)
{
    return fileSize >= blocks::kIndexedFromBytes;
}

std::filesystem::path IndexPathFor(const std::filesystem::path& file)
{
    std::filesystem::path path = file;
    path += blocks::kIndexSuffix;
    return path;
}

LocalIndex WriteIndex(const std::filesystem::path& file, unsigned workers)
{
    return Store(file, blocks::IndexFile(file, workers));
}

LocalIndex CurrentIndex(const std::filesystem::path& file, std::uint64_t length, const std::string& md5,
                        unsigned workers)
{
    const std::filesystem::path path = IndexPathFor(file);
    if (const auto kept = ReadIndex(path); kept && kept->first.length == length && DigestToHex(kept->first.md5) == md5)
        return Described(path, kept->first, kept->second, false);
    const blocks::BlockIndex index = blocks::IndexFile(file, workers);
    if (index.length != length || DigestToHex(index.md5) != md5)
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "文件“%1”在发布时被改动了：请重新发布")).Arg(PathText(file)),
                    ErrorKind::Failed);
    return Store(file, index);
}

} // namespace tarnwick::publish
