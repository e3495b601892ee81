#include "publish/shown_text.h"

#include "base/text.h"

namespace tarnwick::publish {

std::string Shown(std::string_view utf8, std::size_t maxBytes)
{
    const std::string_view cut = utf8.substr(0, WholeUtf8Prefix(utf8.substr(0, maxBytes)));
    if (std::optional<std::string> gbk = TryUtf8ToGbk(cut))
        return *gbk;
    std::string ascii;
    for (unsigned char c : cut)
        if (c < 0x80)
            ascii += static_cast<char>(c < 0x20 ? '?' : c);
        else if ((c & 0xC0) != 0x80)
            ascii += '?';
    return ascii;
}

} // namespace tarnwick::publish
