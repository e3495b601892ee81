#include "publish/shown_text.h"

#include "base/text.h"

namespace tarnwick::publish {

std::string Shown(std::string_view utf8, std::size_t maxBytes)
{
    const std::string_view cut = utf8.substr(0, WholeUtf8Prefix(utf8.substr(0, maxBytes)));
    if (std::optional<std::string> gbk = TryUtf8ToGbk(cut)) {
        // A server's text may hold a terminal's escapes: never passed on.
        for (char& c : *gbk)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
                c = '?';
        return *gbk;
    }
    std::string ascii;
    for (unsigned char c : cut)
        if (c < 0x80)
            ascii += static_cast<char>(c < 0x20 || c == 0x7f ? '?' : c);
        else if ((c & 0xC0) != 0x80)
            ascii += '?';
    return ascii;
}

} // namespace tarnwick::publish
