#include "cli/listing.h"

#include "base/text.h"
#include "cli/printable.h"

#include <algorithm>

namespace tarnwick::cli {
namespace {

std::string Cell(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    return text;
}

} // namespace

void PrintTable(std::ostream& out, const std::vector<std::string>& header,
                const std::vector<std::vector<std::string>>& rows)
{
    std::vector<std::size_t> widths;
    for (const auto& title : header)
        widths.push_back(title.size());
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    const auto line = [&](const std::vector<std::string>& cells) {
        std::string text;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            text += Cell(cells[i]);
            if (i + 1 < cells.size())
                text += std::string(widths[i] - cells[i].size() + 2, ' ');
        }
        out << Printable(text) << "\n";
    };
    line(header);
    for (const auto& row : rows)
        line(row);
}

void PrintTable(std::ostream& out, const Translation& translation, std::initializer_list<const char*> header,
                const std::vector<std::vector<std::string>>& rows)
{
    std::vector<std::string> shown;
    for (const char* source : header)
        shown.push_back(translation.Text(source));
    PrintTable(out, shown, rows);
}

std::string JsonText(const std::string& gbk) { return GbkToUtf8(gbk); }

} // namespace tarnwick::cli
