#include "config/xml_parser.h"

#include "config/text.h"

#include <libxml/xmlerror.h>

#include <climits>

namespace tarnwick::xml {
namespace {

constexpr std::size_t kSourceExcerptChars = 40;

// No entity substitution (no XML_PARSE_NOENT), no DTD loading, no network.
// The parser gets the text as UTF-8 (see Parser::Run), so the declared encoding is ignored.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_COMPACT | XML_PARSE_IGNORE_ENC;

bool IsGbkLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// Line `number` (1-based, cut at CR, LF or CR LF) of the source, cut to its first 40 characters.
std::string SourceExcerpt(std::string_view source, long number)
{
    std::size_t start = 0;
    for (long line = 1; line < number; ++line) {
        const std::size_t end = source.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            return {};
        start = end + ((source[end] == '\r' && end + 1 < source.size() && source[end + 1] == '\n') ? 2 : 1);
    }
    std::string_view line = source.substr(start);
    line = line.substr(0, line.find_first_of(std::string_view("\r\n\0", 3)));
    std::size_t bytes = 0;
    for (std::size_t chars = 0; chars < kSourceExcerptChars && bytes < line.size(); ++chars)
        bytes += (IsGbkLead(static_cast<unsigned char>(line[bytes])) && bytes + 1 < line.size()) ? 2 : 1;
    return std::string(line.substr(0, bytes));
}

// The first line (1-based) that holds bytes GBK cannot decode. A line break
// is never part of a two-byte character, so lines can be checked alone.
long FirstNonGbkLine(std::string_view source)
{
    long line = 1;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = source.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = source.size();
        if (!IsGbkText(source.substr(start, end - start)))
            return line;
        if (end == source.size())
            return line;
        start = end + ((source[end] == '\r' && end + 1 < source.size() && source[end + 1] == '\n') ? 2 : 1);
        ++line;
    }
}

ParseReport& ReportOf(void* parserContext)
{
    return *static_cast<ParseReport*>(static_cast<xmlParserCtxtPtr>(parserContext)->_private);
}

long CurrentLine(xmlParserCtxtPtr ctxt) { return ctxt->input ? ctxt->input->line : 0; }

// libxml2's limits (without XML_PARSE_HUGE, which would lift them for hostile
// documents too), reported in words that name the limit; its own words speak
// of its internals ("huge input lookup", "use XML_PARSE_HUGE option").
std::string Reason(std::string_view message)
{
    static constexpr std::string_view kPiece =
        " is longer than 10,000,000 bytes, the most that one piece of a document may hold";
    static constexpr struct {
        std::string_view cue;
        std::string_view subject;
        std::string_view limit;
    } kLimits[] = {
        {"Excessive depth in document", "The elements are nested more than 256 levels deep",
         ", the most that a document may nest"},
        {"AttValue length too long", "An attribute value", kPiece},
        {"huge text node", "A text value", kPiece},
        {"Huge input lookup", "A part of the document", kPiece},
        {"CData section too big", "A CDATA section", kPiece},
        {"Comment too big", "A comment", kPiece},
        {"too big found", "A processing instruction", kPiece},
        {"Name too long", "A name", " is longer than 50,000 bytes, the most that a name may hold"},
    };
    for (const auto& limit : kLimits)
        if (message.find(limit.cue) != std::string_view::npos)
            return std::string(limit.subject) + std::string(limit.limit);
    return MessageText(message);
}

void CaptureError(void* parserContext, xmlErrorPtr error)
{
    if (parserContext == nullptr || error == nullptr || error->level < XML_ERR_ERROR)
        return;
    ReportOf(parserContext).Fail(Reason(error->message ? error->message : "Unknown XML error"), error->line);
}

// Entity declarations are refused: nothing is substituted, so a declared entity
// could only be read wrongly, and refusing them shuts out expansion attacks.
void RefuseEntityDeclaration(void* parserContext, const xmlChar* name, int, const xmlChar*, const xmlChar*, xmlChar*)
{
    auto* ctxt = static_cast<xmlParserCtxtPtr>(parserContext);
    ReportOf(parserContext)
        .Fail("Entity declarations are not supported (entity \"" +
                  MessageText(reinterpret_cast<const char*>(name)) + "\")",
              CurrentLine(ctxt));
    xmlStopParser(ctxt);
}

void RefuseUnparsedEntity(void* parserContext, const xmlChar* name, const xmlChar*, const xmlChar*, const xmlChar*)
{
    RefuseEntityDeclaration(parserContext, name, 0, nullptr, nullptr, nullptr);
}

void Guard(xmlSAXHandler& handler)
{
    handler.initialized = XML_SAX2_MAGIC;
    handler.serror = CaptureError;
    handler.entityDecl = RefuseEntityDeclaration;
    handler.unparsedEntityDecl = RefuseUnparsedEntity;
}

// In the document's own line ends: the parser hands back LF only.
std::string WithCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n')
            out += kLineBreak;
        else
            out += c;
    }
    return out;
}

struct TopLevelCollector {
    TopLevelNodes nodes;
    int depth = 0;
    bool rootSeen = false;
    bool unconvertible = false;

    static TopLevelCollector& Of(void* ctx) { return *static_cast<TopLevelCollector*>(Parser::ClientOf(ctx)); }

    void Keep(const std::string& utf8)
    {
        if (depth != 0)
            return;
        try {
            (rootSeen ? nodes.afterRoot : nodes.beforeRoot).push_back(WithCrLf(Utf8ToGbk(utf8)));
        } catch (const Error&) {
            unconvertible = true;
        }
    }

    static void StartElement(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**, int,
                             int, const xmlChar**)
    {
        auto& self = Of(ctx);
        ++self.depth;
        self.rootSeen = true;
    }
    static void EndElement(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) { --Of(ctx).depth; }
    static void Comment(void* ctx, const xmlChar* value)
    {
        Of(ctx).Keep("<!--" + std::string(reinterpret_cast<const char*>(value)) + "-->");
    }
    static void Instruction(void* ctx, const xmlChar* target, const xmlChar* data)
    {
        std::string text = "<?" + std::string(reinterpret_cast<const char*>(target));
        if (data != nullptr && *data != 0)
            text += " " + std::string(reinterpret_cast<const char*>(data));
        Of(ctx).Keep(text + "?>");
    }
};

} // namespace

Error DocumentError(std::string_view reason, std::string_view source, long line)
{
    std::string text(reason);
    text += kLineBreak;
    text += "Line: " + std::to_string(line);
    text += kLineBreak;
    text += SourceExcerpt(source, line);
    return Error(text);
}

std::string MessageText(std::string_view utf8)
{
    while (!utf8.empty() && static_cast<unsigned char>(utf8.back()) <= ' ')
        utf8.remove_suffix(1);
    try {
        return Utf8ToGbk(utf8);
    } catch (const Error&) {
        return PathText(std::string(utf8));
    }
}

void ParseReport::Fail(std::string why, long at)
{
    if (failed)
        return;
    failed = true;
    reason = std::move(why);
    line = at;
}

Parser::Parser() : ctxt_(xmlNewParserCtxt())
{
    if (ctxt_ == nullptr)
        throw Error("Out of memory while creating the XML parser");
    ctxt_->_private = &report_;
    Guard(*ctxt_->sax);
}

Parser::~Parser()
{
    xmlFreeParserCtxt(ctxt_);
}

void* Parser::ClientOf(void* parserContext)
{
    return ReportOf(parserContext).client;
}

DocPtr Parser::Run(std::string_view bytes)
{
    // The text is decoded here, once, rather than by libxml2: its own GBK
    // decoding reports bad bytes only on its process-wide error channel, and it
    // misreads valid text that follows a run of single-byte euro signs (0x80,
    // three bytes in UTF-8), so that a document it wrote might not load again.
    std::string utf8;
    try {
        utf8 = GbkToUtf8(bytes);
    } catch (const Error&) {
        report_.Fail("The document holds bytes that are not GBK text", FirstNonGbkLine(bytes));
        return nullptr;
    }
    if (utf8.size() > static_cast<std::size_t>(INT_MAX))
        throw Error("The document is too large to be read: it may hold at most 2 GiB of text");
    DocPtr doc(xmlCtxtReadMemory(ctxt_, utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8",
                                 kParseOptions));
    if (!report_.failed && !ctxt_->wellFormed)
        report_.Fail("The document is not well-formed", CurrentLine(ctxt_));
    return doc;
}

DocPtr Parser::ParseTree(std::string_view bytes)
{
    DocPtr doc = Run(bytes);
    if (report_.failed || !doc)
        throw DocumentError(report_.failed ? report_.reason : "The document could not be read", bytes,
                            report_.line);
    return doc;
}

bool Parser::ParseEvents(std::string_view bytes, const xmlSAXHandler& events, void* client)
{
    *ctxt_->sax = events;
    Guard(*ctxt_->sax);
    report_.client = client;
    try {
        Run(bytes);
    } catch (const Error&) {
        return false;
    }
    return !report_.failed;
}

std::optional<TopLevelNodes> TopLevelNodesOf(std::string_view bytes)
{
    xmlSAXHandler events{};
    events.startElementNs = TopLevelCollector::StartElement;
    events.endElementNs = TopLevelCollector::EndElement;
    events.comment = TopLevelCollector::Comment;
    events.processingInstruction = TopLevelCollector::Instruction;
    TopLevelCollector collector;
    Parser parser;
    if (!parser.ParseEvents(bytes, events, &collector) || collector.unconvertible)
        return std::nullopt;
    return std::move(collector.nodes);
}

} // namespace tarnwick::xml
