#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// Between the parts of a document error, and after every line of a document.
inline constexpr std::string_view kLineBreak = "\r\n";

// Top-level comments and processing instructions around the root element, as
// GBK markup with CR LF line ends: what a write keeps of the document loaded.
struct TopLevelNodes {
    std::vector<std::string> beforeRoot;
    std::vector<std::string> afterRoot;
    bool operator==(const TopLevelNodes&) const = default;
};

} // namespace tarnwick
