#include "cli/printable.h"

#include "base/text.h"

namespace tarnwick::cli {

std::string Printable(std::string_view gbk)
{
    auto utf8 = TryGbkToUtf8(gbk);
    return utf8 ? std::move(*utf8) : std::string(gbk);
}

std::string Printable(std::u16string_view text)
{
    std::string out;
    for (const char16_t& c : text) {
        const auto gbk = TryUtf16ToGbk(std::u16string_view(&c, 1));
        out += gbk ? Printable(*gbk) : "?";
    }
    return out;
}

} // namespace tarnwick::cli
