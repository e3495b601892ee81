// The version-information value query on arbitrary buffers and paths. The
// value it reports lies inside the buffer, and it is the value that the block
// parser finds on the same path whenever the block parses.
//
// Input: byte 0 picks a path (below 0xC0: one of the paths that the stamping
// uses; else byte 1 gives a length and the path's UTF-16 units follow); the
// rest is the buffer.
#include "fuzz_support.h"

#include "base/error.h"
#include "launcher/version_info.h"

#include <cstdint>
#include <cstring>
#include <string>

using namespace tarnwick;
using namespace tarnwick::fuzzing;

namespace {

const VersionBlock* Walk(const VersionBlock& root, std::u16string_view path)
{
    const VersionBlock* current = &root;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t stop = path.find(u'\\', start);
        if (stop == std::u16string_view::npos)
            stop = path.size();
        const std::u16string_view component = path.substr(start, stop - start);
        start = stop + 1;
        if (component.empty())
            continue;
        const VersionBlock* next = nullptr;
        for (const auto& child : current->children)
            if (SameVersionKey(child.key, component)) {
                next = &child;
                break;
            }
        if (next == nullptr)
            return nullptr;
        current = next;
    }
    return current;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::u16string_view paths[] = {
        u"\\\\VarFileInfo\\\\Translation",
        u"\\\\StringFileInfo\\\\080403a8\\\\OriginalFilename",
        u"\\\\StringFileInfo\\\\040904b0\\\\GameName",
        u"\\StringFileInfo\\080403A8\\ServerList",
        u"",
        u"\\",
        u"\\\\StringFileInfo",
    };
    if (size < 2)
        return 0;
    std::u16string path;
    std::size_t at = 1;
    if (data[0] < 0xC0) {
        path = paths[data[0] % std::size(paths)];
    } else {
        const std::size_t units = data[1] % 64;
        at = 2;
        for (std::size_t i = 0; i < units && at + 2 <= size; ++i, at += 2)
            path.push_back(static_cast<char16_t>(data[at] | (data[at + 1] << 8)));
    }
    // A copy of its own, so that ASan sees any read past the buffer's end.
    std::vector<std::byte> buffer(size - at);
    if (!buffer.empty())
        std::memcpy(buffer.data(), data + at, buffer.size());

    const VersionValue value = QueryVersionValue(buffer, path);
    const std::size_t bytes = value.length * (value.text ? 2 : 1);
    if (value.length != 0 && (value.offset > buffer.size() || bytes > buffer.size() - value.offset))
        Broken("the value lies outside the buffer");
    if (value.text) {
        try {
            VersionText(buffer, value);
        } catch (const Error& e) {
            Broken("the reported text cannot be read", e.what());
        }
    }

    VersionBlock block;
    try {
        block = ParseVersionBlock(buffer);
    } catch (const Error&) {
        return 0;
    }
    const VersionBlock* found = Walk(block, path);
    const std::size_t expected = found ? found->value.size() : 0;
    if (bytes != expected || (found && found->text != value.text && expected != 0))
        Broken("the query and the block parser disagree");
    if (expected != 0 && std::memcmp(buffer.data() + value.offset, found->value.data(), expected) != 0)
        Broken("the query and the block parser see different bytes");
    return 0;
}
