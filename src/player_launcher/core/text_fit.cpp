#include "player_launcher/core/text_fit.h"

namespace tarnwick::player {
namespace {

constexpr std::u16string_view kEllipsis = u"…";

bool IsWide(char16_t c) { return c >= 0x2E80; }

// Marks that close what comes before them stay on its line; those that open
// stay with what follows.
bool StaysWithBefore(char16_t c) { return std::u16string_view(u"，。、；：！？）》」』”’…,.;:!?)]}%").find(c) != std::u16string_view::npos; }
bool StaysWithAfter(char16_t c) { return std::u16string_view(u"（《「『“‘([{").find(c) != std::u16string_view::npos; }

bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Whether a line may end before text[at] (0 < at < size).
bool MayBreakBefore(std::u16string_view text, std::size_t at)
{
    const char16_t before = text[at - 1];
    const char16_t here = text[at];
    if (IsLowSurrogate(here) || StaysWithBefore(here) || StaysWithAfter(before))
        return false;
    return before == u' ' || IsWide(before) || IsWide(here) || before == u'\\' || before == u'/';
}

std::u16string_view TrimEnd(std::u16string_view line)
{
    while (!line.empty() && line.back() == u' ')
        line.remove_suffix(1);
    return line;
}

// Breaks one paragraph (no line breaks in it) into lines of `width`.
void BreakParagraph(std::u16string_view text, int width, const Measure& measure, std::vector<std::u16string>& lines)
{
    std::size_t start = 0;
    do {
        const std::u16string_view rest = text.substr(start);
        std::size_t fits = rest.size();
        if (measure(rest) > width) {
            // The longest start that fits, at least one character.
            std::size_t low = 1, high = rest.size();
            while (low < high) {
                const std::size_t middle = (low + high + 1) / 2;
                if (measure(rest.substr(0, middle)) <= width)
                    low = middle;
                else
                    high = middle - 1;
            }
            fits = low;
            if (fits < rest.size() && IsLowSurrogate(rest[fits]))
                fits = fits > 1 ? fits - 1 : fits + 1;
            std::size_t end = fits;
            while (end > 0 && !MayBreakBefore(rest, end))
                --end;
            // A word longer than the line is cut where the line ends.
            if (end > 0)
                fits = end;
        }
        lines.emplace_back(TrimEnd(rest.substr(0, fits)));
        start += fits;
        while (start < text.size() && text[start] == u' ')
            ++start;
    } while (start < text.size());
}

} // namespace

FittedText FitText(std::u16string_view text, int width, std::size_t maxLines, const Measure& measure)
{
    FittedText fitted;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find(u'\n', start);
        if (end == std::u16string_view::npos)
            end = text.size();
        std::u16string_view paragraph = text.substr(start, end - start);
        if (!paragraph.empty() && paragraph.back() == u'\r')
            paragraph.remove_suffix(1);
        if (paragraph.empty())
            fitted.lines.emplace_back();
        else
            BreakParagraph(paragraph, width, measure, fitted.lines);
        start = end + 1;
        if (fitted.lines.size() > maxLines)
            break;
    }
    if (fitted.lines.size() <= maxLines)
        return fitted;
    fitted.whole = false;
    fitted.lines.resize(maxLines);
    if (maxLines == 0)
        return fitted;
    std::u16string& last = fitted.lines.back();
    while (!last.empty() && measure(last + std::u16string(kEllipsis)) > width) {
        last.pop_back();
        if (!last.empty() && (last.back() >= 0xD800 && last.back() <= 0xDBFF))
            last.pop_back();
    }
    last = std::u16string(TrimEnd(last)) + std::u16string(kEllipsis);
    return fitted;
}

} // namespace tarnwick::player
