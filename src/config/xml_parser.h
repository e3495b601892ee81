#pragma once

#include "base/error.h"
#include "config/document_text.h"

#include <libxml/parser.h>

#include <optional>
#include <string>
#include <string_view>

// Reading configuration documents with libxml2's event parser: GBK input, no
// entity substitution, nothing loaded from files or the network, and failures
// in the document error format. No tree is built: the handlers take what
// they need as the parser goes.
namespace tarnwick::xml {

// The first error the parser reported, or a construct that is refused.
struct ParseReport {
    bool failed = false;
    Message reason;
    long line = 0;
    // The parser had read all of its input when the failure came: the text
    // ends there rather than going on wrongly.
    bool atEnd = false;

    void Fail(Message why, long at);
    // A reason in libxml2's or a handler's own words (GBK).
    void Fail(std::string why, long at) { Fail(Message::Untranslated(std::move(why)), at); }
};

// The parser's reason, "Line: N" and the first 40 characters of that source line.
Error DocumentError(const Message& reason, std::string_view source, long line);

// The same, quoting the document's text decoded to UTF-8.
Error DocumentErrorInText(const Message& reason, std::string_view utf8, long line);

// The document's bytes decoded for the parser; absent, with the report's
// failure naming the first line that is not GBK, when they cannot be.
std::optional<std::string> DocumentText(std::string_view bytes, ParseReport& report);

// The lines before line `number` (1-based) of GBK bytes, decoded for the
// parser: what can be read of a document whose line `number` is not GBK.
std::string GbkLinesBefore(std::string_view bytes, long number);

// libxml2 text (UTF-8) for a message, as GBK.
std::string MessageText(std::string_view utf8);

// One parser context whose errors are collected in its ParseReport rather than
// in libxml2's global error state.
class Parser {
public:
    Parser();
    ~Parser();
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    // Runs the handler's events over the bytes (GBK: documents declared
    // "GB2312" hold GBK characters); the handlers reach `client` through
    // ClientOf. False when the bytes are not a well-formed document or a
    // handler refused them through Refuse; Report says why.
    bool ParseEvents(std::string_view bytes, const xmlSAXHandler& events, void* client);
    // The same on text already decoded (DocumentText).
    bool ParseText(std::string_view utf8, const xmlSAXHandler& events, void* client);

    // For handlers, given the parser context that libxml2 passes them.
    static void* ClientOf(void* parserContext);
    static long LineOf(void* parserContext);
    // Keeps the first failure; the parse goes on.
    static void Record(void* parserContext, Message reason, long line);
    // Whether a failure was recorded: events after it are no longer the document's.
    static bool Failed(void* parserContext);
    // Ends the parse with a failure at the current line.
    static void Refuse(void* parserContext, Message reason);

    const ParseReport& Report() const { return report_; }
    // Elements started and not yet ended.
    int OpenElements() const { return depth_; }
    // The report as a document error quoting the source, or its decoded text.
    Error ReportedError(std::string_view bytes) const;
    Error ReportedErrorInText(std::string_view utf8) const;
    ParseReport& Report() { return report_; }

private:
    // The client's element handlers, called through ones that count the depth:
    // libxml2's own count is not part of its API from 2.14 on.
    static void StartElement(void* parserContext, const xmlChar* localname, const xmlChar* prefix,
                             const xmlChar* uri, int namespaceCount, const xmlChar** namespaces,
                             int attributeCount, int defaulted, const xmlChar** attributes);
    static void EndElement(void* parserContext, const xmlChar* localname, const xmlChar* prefix,
                           const xmlChar* uri);

    xmlParserCtxtPtr ctxt_;
    ParseReport report_;
    void* client_ = nullptr;
    startElementNsSAX2Func clientStart_ = nullptr;
    endElementNsSAX2Func clientEnd_ = nullptr;
    int depth_ = 0; // elements open
};

// Those of a document; nothing when the bytes cannot be parsed.
std::optional<TopLevelNodes> TopLevelNodesOf(std::string_view bytes);

// Collects the top-level nodes from inside another handler's events.
class TopLevelCollector {
public:
    void EnterElement() { ++depth_; rootSeen_ = true; }
    void LeaveElement() { --depth_; }
    void Comment(const xmlChar* value);
    void Instruction(const xmlChar* target, const xmlChar* data);

    // Absent when a node held text that GBK cannot represent.
    std::optional<TopLevelNodes> Result() &&;

private:
    void Keep(const std::string& utf8);

    TopLevelNodes nodes_;
    int depth_ = 0;
    bool rootSeen_ = false;
    bool unconvertible_ = false;
};

} // namespace tarnwick::xml
