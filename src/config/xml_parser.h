#pragma once

#include "config/error.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reading configuration documents with libxml2: GBK input, no entity
// substitution, nothing loaded from files or the network, and failures in the
// document error format.
namespace tarnwick::xml {

// Between the parts of a document error, and after every line of a document.
inline constexpr std::string_view kLineBreak = "\r\n";

// The parser's reason, "Line: N" and the first 40 characters of that source line.
Error DocumentError(std::string_view reason, std::string_view source, long line);

// libxml2 text (UTF-8) for a message, as GBK.
std::string MessageText(std::string_view utf8);

struct DocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocDeleter>;

// The first error the parser reported, or a construct that is refused.
struct ParseReport {
    bool failed = false;
    std::string reason; // GBK
    long line = 0;
    void* client = nullptr; // what a custom SAX handler collects into

    void Fail(std::string why, long at);
};

// One parser context whose errors are collected in its ParseReport rather than
// in libxml2's global error state.
class Parser {
public:
    Parser();
    ~Parser();
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    // The tree of GBK bytes (documents declared "GB2312" hold GBK characters).
    // Raises the DocumentError of the first failure.
    DocPtr ParseTree(std::string_view bytes);

    // Runs the handler's events over the bytes without building a tree; the
    // handlers reach `client` through ClientOf. False when the bytes are not a
    // well-formed document.
    bool ParseEvents(std::string_view bytes, const xmlSAXHandler& events, void* client);
    static void* ClientOf(void* parserContext);

    const ParseReport& Report() const { return report_; }

private:
    DocPtr Run(std::string_view bytes);

    xmlParserCtxtPtr ctxt_;
    ParseReport report_;
};

// Top-level comments and processing instructions around the root element, as
// GBK markup with CR LF line ends.
struct TopLevelNodes {
    std::vector<std::string> beforeRoot;
    std::vector<std::string> afterRoot;
};

// Those of a document; nothing when the bytes cannot be parsed.
std::optional<TopLevelNodes> TopLevelNodesOf(std::string_view bytes);

} // namespace tarnwick::xml
