#include "launcher/version_info.h"

#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {
namespace {

constexpr std::uint16_t kLanguageNeutral = 0x0000;
constexpr std::uint16_t kLanguageChinesePrc = 0x0804;
constexpr std::size_t kHeaderSize = 6; // wLength, wValueLength, wType

std::size_t Align4(std::size_t offset) { return (offset + 3) & ~std::size_t{3}; }

[[noreturn]] void ThrowBadBlock(const Message& reason)
{
    throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "版本信息的格式不正确：%1")).Inner(reason));
}

// One entry's header: wLength, wValueLength, wType, the NUL-terminated key,
// then the value and the children, each starting on a 4-byte boundary of the
// buffer (the resource data itself starts on one).
struct Entry {
    std::size_t end = 0; // offset + wLength
    std::u16string key;
    bool text = false;
    std::size_t valueOffset = 0;
    std::size_t valueBytes = 0;  // what the entry really holds
    std::size_t valueLength = 0; // wValueLength, cut to what the entry holds
    std::size_t childrenOffset = 0;
};

Entry ReadEntry(const ByteReader& in, std::size_t offset, std::size_t limit)
{
    Entry e;
    const std::uint16_t length = in.U16(offset, QT_TRANSLATE_NOOP("Tarnwick", "一个版本条目"));
    const std::uint16_t valueLength = in.U16(offset + 2, QT_TRANSLATE_NOOP("Tarnwick", "一个版本条目"));
    const std::uint16_t type = in.U16(offset + 4, QT_TRANSLATE_NOOP("Tarnwick", "一个版本条目"));
    if (length < kHeaderSize || offset + length > limit)
        ThrowBadBlock(Message(QT_TRANSLATE_NOOP("Tarnwick", "一个条目的长度超出了它的上级")));
    e.end = offset + length;
    e.text = type == 1;
    std::size_t at = offset + kHeaderSize;
    for (;;) {
        if (at + 2 > e.end)
            ThrowBadBlock(Message(QT_TRANSLATE_NOOP("Tarnwick", "一个条目的名称没有结束符")));
        const char16_t c = in.U16(at, QT_TRANSLATE_NOOP("Tarnwick", "一个版本条目的名称"));
        at += 2;
        if (c == u'\0')
            break;
        e.key.push_back(c);
    }
    e.valueOffset = std::min(Align4(at), e.end);
    // Producers disagree on whether a text length counts characters or bytes;
    // either way the value may not reach past its own entry.
    const std::size_t unit = e.text ? 2 : 1;
    const std::size_t room = (e.end - e.valueOffset) / unit;
    e.valueLength = std::min<std::size_t>(valueLength, room);
    e.valueBytes = e.valueLength * unit;
    e.childrenOffset = std::min(Align4(e.valueOffset + e.valueBytes), e.end);
    return e;
}

// Calls visit(entry, offset) for each child of the entry; stops early when visit returns true.
template <typename Visit>
bool ForEachChild(const ByteReader& in, const Entry& parent, Visit visit)
{
    std::size_t at = parent.childrenOffset;
    while (at + kHeaderSize <= parent.end) {
        const Entry child = ReadEntry(in, at, parent.end);
        if (visit(child))
            return true;
        at = Align4(child.end);
    }
    return false;
}

// A version block is three levels deep (root, StringFileInfo, table, string);
// deeper nesting means a malformed block, and following it without a bound
// would let a crafted file exhaust the stack.
constexpr int kMaxDepth = 8;

VersionBlock ToValue(const ByteReader& in, std::span<const std::byte> buffer, const Entry& entry, int depth)
{
    if (depth > kMaxDepth)
        ThrowBadBlock(Message(QT_TRANSLATE_NOOP("Tarnwick", "条目嵌套太深")));
    VersionBlock block;
    block.key = entry.key;
    block.text = entry.text;
    auto value = buffer.subspan(entry.valueOffset, entry.valueBytes);
    block.value.assign(value.begin(), value.end());
    ForEachChild(in, entry, [&](const Entry& child) {
        block.children.push_back(ToValue(in, buffer, child, depth + 1));
        return false;
    });
    return block;
}

} // namespace

std::optional<ResourceLocation> FindVersionResource(std::span<const std::byte> file)
{
    const PeImage pe = PeImage::Parse(file);
    const auto found = LocateResource(file, pe, ResourceId::Number(kVersionResourceType),
                                      ResourceId::Number(kVersionResourceName));
    if (found.empty())
        return std::nullopt;
    for (std::uint16_t preferred : {kLanguageNeutral, kLanguageChinesePrc})
        for (const auto& location : found)
            if (location.language == preferred)
                return location;
    return found.front();
}

std::uint32_t VersionInfoSize(std::span<const std::byte> file)
{
    const auto found = FindVersionResource(file);
    return found ? found->size : 0;
}

bool ReadVersionInfo(std::span<const std::byte> file, std::span<std::byte> buffer)
{
    const auto found = FindVersionResource(file);
    if (!found)
        return false;
    std::memcpy(buffer.data(), file.data() + found->offset, std::min<std::size_t>(buffer.size(), found->size));
    return true;
}

VersionValue QueryVersionValue(std::span<const std::byte> buffer, std::u16string_view path)
{
    const ByteReader in(buffer);
    Entry current = ReadEntry(in, 0, buffer.size());
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t stop = path.find(u'\\', start);
        if (stop == std::u16string_view::npos)
            stop = path.size();
        const std::u16string_view component = path.substr(start, stop - start);
        start = stop + 1;
        if (component.empty())
            continue;
        const bool found = ForEachChild(in, current, [&](const Entry& child) {
            if (!SameVersionKey(child.key, component))
                return false;
            current = child;
            return true;
        });
        if (!found)
            return {};
    }
    return {current.valueOffset, current.valueLength, current.text};
}

bool SameVersionKey(std::u16string_view a, std::u16string_view b)
{
    return EqualsIgnoringAsciiCase(a, b);
}

VersionBlock ParseVersionBlock(std::span<const std::byte> buffer)
{
    const ByteReader in(buffer);
    return ToValue(in, buffer, ReadEntry(in, 0, buffer.size()), 0);
}

std::u16string VersionText(std::span<const std::byte> buffer, const VersionValue& value)
{
    std::u16string text;
    const ByteReader in(buffer);
    for (std::size_t i = 0; i < value.length; ++i) {
        const char16_t c = in.U16(value.offset + 2 * i, QT_TRANSLATE_NOOP("Tarnwick", "一个版本值"));
        if (c == u'\0')
            break;
        text.push_back(c);
    }
    return text;
}

} // namespace tarnwick
