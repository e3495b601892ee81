#pragma once

#include "app/translation.h"

#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

namespace tarnwick::cli {

// Rows of core text (GBK) as a table for the terminal: a header, then one line
// per row, each column as wide as its widest cell. GBK gives a Chinese
// character two bytes and a terminal two columns, so bytes measure widths.
// Control characters show as '?'.
void PrintTable(std::ostream& out, const std::vector<std::string>& header,
                const std::vector<std::vector<std::string>>& rows);
// The same with the header's texts as marked in the code, in the language.
void PrintTable(std::ostream& out, const Translation& translation, std::initializer_list<const char*> header,
                const std::vector<std::vector<std::string>>& rows);

// Core text for JSON, which is UTF-8. Raises Error for bytes that are not GBK.
std::string JsonText(const std::string& gbk);

} // namespace tarnwick::cli
