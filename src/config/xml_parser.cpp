#include "config/xml_parser.h"

#include "base/text.h"
#include "base/translatable.h"

#include <libxml/xmlerror.h>

#include <climits>

namespace tarnwick::xml {
namespace {

constexpr std::size_t kSourceExcerptChars = 40;
// libxml2's nesting limit without XML_PARSE_HUGE, which would lift its limits
// for hostile documents too.
constexpr int kMaxDepth = 256;

// No entity substitution (no XML_PARSE_NOENT), no DTD loading, no network.
// The parser gets the text as UTF-8 (see ParseEvents), so the declared encoding is ignored.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_COMPACT | XML_PARSE_IGNORE_ENC;

// libxml2 2.12 passes the error as a pointer to const.
#if LIBXML_VERSION >= 21200
using ErrorRecord = const xmlError*;
#else
using ErrorRecord = xmlErrorPtr;
#endif

// Line `number` (1-based, cut at CR, LF or CR LF) of the text, up to a NUL byte.
std::string_view NthLine(std::string_view text, long number)
{
    std::string_view found;
    long line = 0;
    ForEachLine(text, [&](std::string_view candidate) {
        if (++line < number)
            return true;
        found = candidate;
        return false;
    });
    return found.substr(0, found.find('\0'));
}

constexpr const char* kUnreadable = QT_TRANSLATE_NOOP("Tarnwick", "无法读取文档");

// The reason, "Line: N" and the excerpt of that line, each on a line of its own.
// Such an error is the document's fault, not the system's: Damaged.
Error Formatted(const Message& reason, long line, const std::string& excerpt)
{
    // The line breaks are parameters: a translation file keeps no line break.
    Message text(QT_TRANSLATE_NOOP("Tarnwick", "%1%2行：%3%2%4"));
    text.Inner(reason).Arg(std::string(kLineBreak)).Arg(std::to_string(line)).Arg(excerpt);
    return Error(text, ErrorKind::Damaged);
}

// That line of GBK source, cut to its first 40 characters.
std::string SourceExcerpt(std::string_view source, long number)
{
    return std::string(FirstGbkChars(NthLine(source, number), kSourceExcerptChars));
}

// The first line (1-based) that holds bytes GBK cannot decode. A line break
// is never part of a two-byte character, so lines can be checked alone.
long FirstNonGbkLine(std::string_view source)
{
    long line = 0;
    long bad = 0;
    ForEachLine(source, [&](std::string_view text) {
        ++line;
        if (IsGbkText(text))
            return true;
        bad = line;
        return false;
    });
    return bad != 0 ? bad : line;
}

Parser& ParserOf(void* parserContext)
{
    return *static_cast<Parser*>(static_cast<xmlParserCtxtPtr>(parserContext)->_private);
}

bool AtEndOfInput(const xmlParserCtxt* ctxt)
{
    return ctxt->input == nullptr || ctxt->input->cur >= ctxt->input->end;
}

// libxml2's limits, in words that name the limit; its own words speak of its
// internals ("huge input lookup", "use XML_PARSE_HUGE option"). They are told
// apart by error code: a construct that outgrows its limit has the code of one
// left unfinished, but only the latter is found at the end of the input.
std::optional<Message> LimitReason(ErrorRecord error, xmlParserCtxtPtr ctxt)
{
    const bool atEnd = AtEndOfInput(ctxt);
    const auto piece = [&](const char* subject) -> std::optional<Message> {
        if (atEnd)
            return std::nullopt;
        Message reason(QT_TRANSLATE_NOOP("Tarnwick", "%1长于 10,000,000 字节，即文档中一段内容最多可有的长度"));
        reason.Phrase(subject);
        return reason;
    };
    switch (error->code) {
    case XML_ERR_NAME_TOO_LONG:
        return Message(QT_TRANSLATE_NOOP("Tarnwick", "有一个名称长于 50,000 字节，即名称最多可有的长度"));
    case XML_ERR_INTERNAL_ERROR:
#if LIBXML_VERSION >= 21300
    case XML_ERR_RESOURCE_LIMIT:
#endif
        if (ParserOf(ctxt).OpenElements() >= kMaxDepth)
            return Message(QT_TRANSLATE_NOOP("Tarnwick", "元素嵌套超过 256 层，即文档最多可嵌套的层数"));
        return piece(QT_TRANSLATE_NOOP("Tarnwick", "文档的一部分"));
    case XML_ERR_ATTRIBUTE_NOT_FINISHED: return piece(QT_TRANSLATE_NOOP("Tarnwick", "一个属性值"));
    case XML_ERR_COMMENT_NOT_FINISHED: return piece(QT_TRANSLATE_NOOP("Tarnwick", "一段注释"));
    case XML_ERR_CDATA_NOT_FINISHED: return piece(QT_TRANSLATE_NOOP("Tarnwick", "一段 CDATA"));
    case XML_ERR_PI_NOT_FINISHED: return piece(QT_TRANSLATE_NOOP("Tarnwick", "一条处理指令"));
    default: return std::nullopt;
    }
}

// libxml2's commonest reasons in the operator's words; in English its own
// words are shown, and the rest in its words in every language.
const char* PhraseOfXmlError(int code)
{
    switch (code) {
    case XML_ERR_DOCUMENT_EMPTY: return QT_TRANSLATE_NOOP("Tarnwick", "文档是空的");
    case XML_ERR_DOCUMENT_END: return QT_TRANSLATE_NOOP("Tarnwick", "文档结尾之后还有内容");
    case XML_ERR_INVALID_CHAR: return QT_TRANSLATE_NOOP("Tarnwick", "文档中有 XML 不允许的字符");
    case XML_ERR_UNDECLARED_ENTITY: return QT_TRANSLATE_NOOP("Tarnwick", "引用了未声明的实体");
    case XML_ERR_ENTITYREF_SEMICOL_MISSING: return QT_TRANSLATE_NOOP("Tarnwick", "实体引用缺少结尾的分号");
    case XML_ERR_LT_IN_ATTRIBUTE: return QT_TRANSLATE_NOOP("Tarnwick", "属性值中不能有“<”");
    case XML_ERR_ATTRIBUTE_WITHOUT_VALUE: return QT_TRANSLATE_NOOP("Tarnwick", "属性没有值");
    case XML_ERR_ATTRIBUTE_REDEFINED: return QT_TRANSLATE_NOOP("Tarnwick", "同一个属性出现了两次");
    case XML_ERR_STRING_NOT_STARTED: return QT_TRANSLATE_NOOP("Tarnwick", "属性值应以引号开头");
    case XML_ERR_STRING_NOT_CLOSED: return QT_TRANSLATE_NOOP("Tarnwick", "属性值缺少结尾的引号");
    case XML_ERR_SPACE_REQUIRED: return QT_TRANSLATE_NOOP("Tarnwick", "这里需要一个空格");
    case XML_ERR_NAME_REQUIRED: return QT_TRANSLATE_NOOP("Tarnwick", "这里需要一个名称");
    case XML_ERR_EQUAL_REQUIRED: return QT_TRANSLATE_NOOP("Tarnwick", "属性名后需要“=”");
    case XML_ERR_GT_REQUIRED: return QT_TRANSLATE_NOOP("Tarnwick", "标签缺少结尾的“>”");
    case XML_ERR_LTSLASH_REQUIRED: return QT_TRANSLATE_NOOP("Tarnwick", "缺少结束标签“</”");
    case XML_ERR_TAG_NAME_MISMATCH: return QT_TRANSLATE_NOOP("Tarnwick", "开始标签和结束标签不匹配");
    case XML_ERR_TAG_NOT_FINISHED: return QT_TRANSLATE_NOOP("Tarnwick", "文档在一个元素结束之前就结束了");
    case XML_ERR_RESERVED_XML_NAME: return QT_TRANSLATE_NOOP("Tarnwick", "XML 声明只能在文档的开头");
    default: return nullptr;
    }
}

void CaptureError(void* parserContext, ErrorRecord error)
{
    if (parserContext == nullptr || error == nullptr || error->level < XML_ERR_ERROR)
        return;
    auto* ctxt = static_cast<xmlParserCtxtPtr>(parserContext);
    auto reason = LimitReason(error, ctxt);
    if (!reason)
        reason = Message("%1").Reason(MessageText(error->message ? error->message : "Unknown XML error"),
                                      PhraseOfXmlError(error->code));
    Parser::Record(parserContext, std::move(*reason), error->line);
}

// Entity declarations are refused: nothing is substituted, so a declared entity
// could only be read wrongly, and refusing them shuts out expansion attacks.
void RefuseEntityDeclaration(void* parserContext, const xmlChar* name, int, const xmlChar*, const xmlChar*, xmlChar*)
{
    Message reason(QT_TRANSLATE_NOOP("Tarnwick", "不支持实体声明（实体“%1”）"));
    Parser::Refuse(parserContext, reason.Arg(MessageText(reinterpret_cast<const char*>(name))));
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

} // namespace

Error DocumentErrorInText(const Message& reason, std::string_view utf8, long line)
{
    // A GBK character is one Unicode character, so the first forty characters
    // of the line are the same text in either form.
    const std::string_view found = NthLine(utf8, line);
    std::size_t bytes = 0;
    for (std::size_t chars = 0; chars < kSourceExcerptChars && bytes < found.size(); ++chars) {
        ++bytes;
        while (bytes < found.size() && (static_cast<unsigned char>(found[bytes]) & 0xC0) == 0x80)
            ++bytes;
    }
    return Formatted(reason, line, TryUtf8ToGbk(found.substr(0, bytes)).value_or(std::string()));
}

Error DocumentError(const Message& reason, std::string_view source, long line)
{
    return Formatted(reason, line, SourceExcerpt(source, line));
}

std::string MessageText(std::string_view utf8)
{
    while (!utf8.empty() && static_cast<unsigned char>(utf8.back()) <= ' ')
        utf8.remove_suffix(1);
    auto gbk = TryUtf8ToGbk(utf8);
    return gbk ? std::move(*gbk) : PathText(std::string(utf8));
}

void ParseReport::Fail(Message why, long at)
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
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "创建 XML 解析器时内存不足")));
    ctxt_->_private = this;
}

Parser::~Parser()
{
    xmlFreeParserCtxt(ctxt_);
}

void* Parser::ClientOf(void* parserContext)
{
    return ParserOf(parserContext).client_;
}

long Parser::LineOf(void* parserContext)
{
    const auto* ctxt = static_cast<xmlParserCtxtPtr>(parserContext);
    return ctxt->input ? ctxt->input->line : 0;
}

void Parser::Record(void* parserContext, Message reason, long line)
{
    ParseReport& report = ParserOf(parserContext).report_;
    if (report.failed)
        return;
    report.Fail(std::move(reason), line);
    report.atEnd = AtEndOfInput(static_cast<xmlParserCtxtPtr>(parserContext));
}

bool Parser::Failed(void* parserContext) { return ParserOf(parserContext).report_.failed; }

void Parser::StartElement(void* parserContext, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                          int namespaceCount, const xmlChar** namespaces, int attributeCount, int defaulted,
                          const xmlChar** attributes)
{
    Parser& parser = ParserOf(parserContext);
    ++parser.depth_;
    if (parser.clientStart_ != nullptr)
        parser.clientStart_(parserContext, localname, prefix, uri, namespaceCount, namespaces, attributeCount,
                            defaulted, attributes);
}

void Parser::EndElement(void* parserContext, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri)
{
    Parser& parser = ParserOf(parserContext);
    --parser.depth_;
    if (parser.clientEnd_ != nullptr)
        parser.clientEnd_(parserContext, localname, prefix, uri);
}

void Parser::Refuse(void* parserContext, Message reason)
{
    Record(parserContext, std::move(reason), LineOf(parserContext));
    xmlStopParser(static_cast<xmlParserCtxtPtr>(parserContext));
}

std::optional<std::string> DocumentText(std::string_view bytes, ParseReport& report)
{
    // The text is decoded here, once, rather than by libxml2: its own GBK
    // decoding reports bad bytes only on its process-wide error channel, and it
    // misreads valid text that follows a run of single-byte euro signs (0x80,
    // three bytes in UTF-8), so that a document it wrote might not load again.
    auto utf8 = TryGbkToUtf8(bytes);
    if (!utf8)
        report.Fail(Message(QT_TRANSLATE_NOOP("Tarnwick", "文档中有不是 GBK 文字的字节")), FirstNonGbkLine(bytes));
    return utf8;
}

std::string GbkLinesBefore(std::string_view bytes, long number)
{
    std::size_t start = bytes.size(); // of line `number`
    long line = 0;
    ForEachLine(bytes, [&](std::string_view text) {
        if (++line < number)
            return true;
        start = static_cast<std::size_t>(text.data() - bytes.data());
        return false;
    });
    return TryGbkToUtf8(bytes.substr(0, start)).value_or(std::string());
}

bool Parser::ParseEvents(std::string_view bytes, const xmlSAXHandler& events, void* client)
{
    const auto utf8 = DocumentText(bytes, report_);
    return utf8 && ParseText(*utf8, events, client);
}

bool Parser::ParseText(std::string_view utf8, const xmlSAXHandler& events, void* client)
{
    if (utf8.size() > static_cast<std::size_t>(INT_MAX))
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "文档太大，无法读取：文档最多可有 2 GiB 文字")));
    *ctxt_->sax = events;
    Guard(*ctxt_->sax);
    clientStart_ = events.startElementNs;
    clientEnd_ = events.endElementNs;
    ctxt_->sax->startElementNs = StartElement;
    ctxt_->sax->endElementNs = EndElement;
    depth_ = 0;
    client_ = client;
    // No handler builds a document, but libxml2 makes one of its own to hold
    // a document type declaration.
    xmlFreeDoc(xmlCtxtReadMemory(ctxt_, utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", kParseOptions));
    if (ctxt_->myDoc != nullptr) {
        xmlFreeDoc(ctxt_->myDoc);
        ctxt_->myDoc = nullptr;
    }
    if (!report_.failed && !ctxt_->wellFormed)
        report_.Fail(Message(QT_TRANSLATE_NOOP("Tarnwick", "文档的格式不正确")), LineOf(ctxt_));
    return !report_.failed;
}

Error Parser::ReportedError(std::string_view bytes) const
{
    return DocumentError(report_.failed ? report_.reason : Message(kUnreadable), bytes, report_.line);
}

Error Parser::ReportedErrorInText(std::string_view utf8) const
{
    return DocumentErrorInText(report_.failed ? report_.reason : Message(kUnreadable), utf8, report_.line);
}

void TopLevelCollector::Keep(const std::string& utf8)
{
    if (depth_ != 0)
        return;
    if (auto gbk = TryUtf8ToGbk(utf8))
        (rootSeen_ ? nodes_.afterRoot : nodes_.beforeRoot).push_back(WithCrLf(*gbk));
    else
        unconvertible_ = true;
}

void TopLevelCollector::Comment(const xmlChar* value)
{
    if (depth_ == 0)
        Keep("<!--" + std::string(reinterpret_cast<const char*>(value)) + "-->");
}

void TopLevelCollector::Instruction(const xmlChar* target, const xmlChar* data)
{
    if (depth_ != 0)
        return;
    std::string text = "<?" + std::string(reinterpret_cast<const char*>(target));
    if (data != nullptr && *data != 0)
        text += " " + std::string(reinterpret_cast<const char*>(data));
    Keep(text + "?>");
}

std::optional<TopLevelNodes> TopLevelCollector::Result() &&
{
    if (unconvertible_)
        return std::nullopt;
    return std::move(nodes_);
}

namespace {

TopLevelCollector& CollectorOf(void* ctx) { return *static_cast<TopLevelCollector*>(Parser::ClientOf(ctx)); }

} // namespace

std::optional<TopLevelNodes> TopLevelNodesOf(std::string_view bytes)
{
    xmlSAXHandler events{};
    events.startElementNs = [](void* ctx, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**, int,
                               int, const xmlChar**) { CollectorOf(ctx).EnterElement(); };
    events.endElementNs = [](void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
        CollectorOf(ctx).LeaveElement();
    };
    events.comment = [](void* ctx, const xmlChar* value) { CollectorOf(ctx).Comment(value); };
    events.processingInstruction = [](void* ctx, const xmlChar* target, const xmlChar* data) {
        CollectorOf(ctx).Instruction(target, data);
    };
    TopLevelCollector collector;
    Parser parser;
    if (!parser.ParseEvents(bytes, events, &collector))
        return std::nullopt;
    return std::move(collector).Result();
}

} // namespace tarnwick::xml
