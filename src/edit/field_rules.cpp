#include "edit/field_rules.h"

#include "base/text.h"
#include "base/translatable.h"
#include "config/model.h"

#include <charconv>
#include <utility>

namespace tarnwick::edit {

std::size_t CharacterCount(std::string_view gbk)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < gbk.size(); i += IsGbkLead(static_cast<unsigned char>(gbk[i])) ? 2 : 1)
        ++chars;
    return chars;
}

bool FitsField(std::string_view gbk) { return CharacterCount(gbk) <= kMaxFieldChars; }

std::string TrimmedText(std::string_view gbk) { return std::string(Trimmed(gbk)); }

std::string LowerCased(std::string_view gbk)
{
    std::string lower(gbk);
    for (std::size_t i = 0; i < lower.size(); i += IsGbkLead(static_cast<unsigned char>(lower[i])) ? 2 : 1)
        lower[i] = AsciiLower(lower[i]);
    return lower;
}

bool IsVersionNumber(std::string_view text)
{
    if (text.empty() || text.front() == '0')
        return false;
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() && number >= kMinVersion &&
           number <= kMaxVersion;
}

const char* ChoiceWordSource(std::string_view gbk)
{
    static constexpr std::pair<const char*, const char*> kShown[] = {
        {words::kNo, QT_TRANSLATE_NOOP("Tarnwick", "否")},
        {words::kYes, QT_TRANSLATE_NOOP("Tarnwick", "是")},
        {words::kCheckUnknown, QT_TRANSLATE_NOOP("Tarnwick", "未知")},
        {words::kCheckVersion, QT_TRANSLATE_NOOP("Tarnwick", "版本")},
        {words::kCheckExists, QT_TRANSLATE_NOOP("Tarnwick", "存在")},
        {words::kDownDirect, QT_TRANSLATE_NOOP("Tarnwick", "直接")},
        {words::kDownAlbum, QT_TRANSLATE_NOOP("Tarnwick", "百度")},
    };
    for (const auto& [word, source] : kShown)
        if (gbk == word)
            return source;
    return nullptr;
}

std::optional<std::string> ClientCommandText(std::string_view given)
{
    const std::string_view command = Trimmed(given);
    if (command.empty())
        return std::nullopt;
    return std::string(command);
}

} // namespace tarnwick::edit
