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

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace tarnwick;
using namespace tarnwick::fuzzing;

namespace {

// The path's components, split independently of the query's own loop.
std::vector<std::u16string> Components(std::u16string_view path)
{
    std::vector<std::u16string> parts(1);
    for (char16_t c : path) {
        if (c == u'\\')
            parts.emplace_back();
        else
            parts.back().push_back(c);
    }
    std::erase_if(parts, [](const std::u16string& part) { return part.empty(); });
    return parts;
}

// Names equal but for the case of ASCII letters, compared through a table of
// upper-case letters rather than the library's fold.
bool SameName(std::u16string_view a, std::u16string_view b)
{
    static constexpr std::u16string_view kLower = u"abcdefghijklmnopqrstuvwxyz";
    static constexpr std::u16string_view kUpper = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    auto upper = [](char16_t c) {
        const std::size_t at = kLower.find(c);
        return at == std::u16string_view::npos ? c : kUpper[at];
    };
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i]))
            return false;
    return true;
}

const VersionBlock* Walk(const VersionBlock& root, std::u16string_view path)
{
    const VersionBlock* current = &root;
    for (const auto& component : Components(path)) {
        const auto next = std::find_if(current->children.begin(), current->children.end(),
                                       [&](const VersionBlock& child) { return SameName(child.key, component); });
        if (next == current->children.end())
            return nullptr;
        current = &*next;
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

    // A malformed block is an error for the query exactly when the parser
    // cannot read the block either (the query reads less of it, so it may
    // still answer where the parser refuses).
    VersionValue value;
    try {
        value = QueryVersionValue(buffer, path);
    } catch (const Error&) {
        try {
            ParseVersionBlock(buffer);
        } catch (const Error&) {
            return 0;
        }
        Broken("the query refused a block that parses");
    }
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
