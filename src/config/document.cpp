#include "config/document.h"

#include "config/error.h"
#include "config/field_encoder.h"
#include "config/file_io.h"
#include "config/text.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace tarnwick {
namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::size_t kTokenLimit = 32766;
constexpr std::size_t kSourceExcerptChars = 40;

// No entity substitution, no DTD loading, no network: a document is read as it
// stands and nothing else is ever fetched.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_BIG_LINES | XML_PARSE_COMPACT;

bool IsGbkLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// ---------------------------------------------------------------------------
// Parsing

// Line `number` (1-based) of the source, cut to its first 40 characters.
std::string SourceExcerpt(std::string_view source, long number)
{
    std::size_t start = 0;
    for (long line = 1; line < number; ++line) {
        std::size_t end = source.find_first_of("\r\n", start);
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

// libxml2 speaks UTF-8; messages and values are GBK.
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

Error DocumentError(std::string_view reason, std::string_view source, long line)
{
    std::string text(reason);
    text += kLineBreak;
    text += "Line: " + std::to_string(line);
    text += kLineBreak;
    text += SourceExcerpt(source, line);
    return Error(text);
}

// What went wrong while parsing: the first error the parser reported, or a
// construct that the loader refuses.
struct ParseReport {
    bool failed = false;
    std::string reason;
    long line = 0;
    void* client = nullptr; // what a custom SAX handler collects into

    void Fail(std::string why, long at)
    {
        if (failed)
            return;
        failed = true;
        reason = std::move(why);
        line = at;
    }
};

ParseReport& ReportOf(void* parserContext)
{
    return *static_cast<ParseReport*>(static_cast<xmlParserCtxtPtr>(parserContext)->_private);
}

void CaptureError(void* parserContext, xmlErrorPtr error)
{
    if (parserContext == nullptr || error == nullptr || error->level < XML_ERR_ERROR)
        return;
    ReportOf(parserContext).Fail(MessageText(error->message ? error->message : "Unknown XML error"), error->line);
}

// Entity declarations are refused outright: the loader substitutes nothing, so
// a declared entity could only be read wrongly, and refusing it also shuts out
// entity expansion attacks.
void RefuseEntityDeclaration(void* parserContext, const xmlChar* name, int, const xmlChar*, const xmlChar*, xmlChar*)
{
    auto* ctxt = static_cast<xmlParserCtxtPtr>(parserContext);
    const long line = ctxt->input ? ctxt->input->line : 0;
    ReportOf(parserContext).Fail("Entity declarations are not supported (entity \"" +
                                     MessageText(reinterpret_cast<const char*>(name)) + "\")",
                                 line);
    xmlStopParser(ctxt);
}

void RefuseUnparsedEntity(void* parserContext, const xmlChar* name, const xmlChar*, const xmlChar*, const xmlChar*)
{
    RefuseEntityDeclaration(parserContext, name, 0, nullptr, nullptr, nullptr);
}

struct ContextDeleter {
    void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};
struct DocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocDeleter>;

// One parser context whose errors go to a ParseReport instead of global state.
class Parser {
public:
    Parser() : ctxt_(xmlNewParserCtxt())
    {
        if (!ctxt_)
            throw Error("Out of memory while creating the XML parser");
        ctxt_->_private = &report_;
        ctxt_->sax->serror = CaptureError;
        ctxt_->sax->entityDecl = RefuseEntityDeclaration;
        ctxt_->sax->unparsedEntityDecl = RefuseUnparsedEntity;
    }

    xmlParserCtxtPtr Context() { return ctxt_.get(); }
    const ParseReport& Report() const { return report_; }
    void SetClient(void* client) { report_.client = client; }

    // Parses GBK bytes (documents declared "GB2312" hold GBK characters).
    // Returns the tree when the SAX handler builds one.
    DocPtr Parse(std::string_view bytes)
    {
        DocPtr doc(xmlCtxtReadMemory(ctxt_.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr, "GBK",
                                     kParseOptions));
        if (!report_.failed && !ctxt_->wellFormed)
            report_.Fail("The document is not well-formed", ctxt_->input ? ctxt_->input->line : 0);
        if (report_.failed)
            doc.reset();
        return doc;
    }

private:
    std::unique_ptr<xmlParserCtxt, ContextDeleter> ctxt_;
    ParseReport report_;
};

// ---------------------------------------------------------------------------
// Reading the tree into the model

bool IsAscii(const char* text)
{
    for (; *text; ++text)
        if (static_cast<unsigned char>(*text) >= 0x80)
            return false;
    return true;
}

// Element values in GBK, with failures in the document error format.
class TreeReader {
public:
    explicit TreeReader(std::string_view source) : source_(source) {}

    void Read(xmlNodePtr root, SetupModel& model) const
    {
        ReadServers(root, model);
        ReadUrls(root, model.web);
        ReadUpdates(root, model);
    }

private:
    static bool Named(xmlNodePtr node, const char* name)
    {
        return std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
    }

    static xmlNodePtr FirstChildNamed(xmlNodePtr parent, const char* name)
    {
        for (xmlNodePtr child = xmlFirstElementChild(parent); child; child = xmlNextElementSibling(child))
            if (Named(child, name))
                return child;
        return nullptr;
    }

    std::string Gbk(const xmlChar* utf8, xmlNodePtr where) const
    {
        const char* text = reinterpret_cast<const char*>(utf8);
        if (IsAscii(text))
            return text;
        try {
            return Utf8ToGbk(text);
        } catch (const Error&) {
            throw DocumentError(UnrepresentableReason(text), source_, xmlGetLineNo(where));
        }
    }

    // Names the first character that GBK lacks, e.g. one given as "&#x1F600;".
    static std::string UnrepresentableReason(std::string_view utf8)
    {
        std::size_t i = 0;
        while (i < utf8.size()) {
            std::size_t width = 1;
            const auto lead = static_cast<unsigned char>(utf8[i]);
            if (lead >= 0xF0)
                width = 4;
            else if (lead >= 0xE0)
                width = 3;
            else if (lead >= 0xC0)
                width = 2;
            const std::string_view one = utf8.substr(i, width);
            if (!IsGbkRepresentable(one)) {
                unsigned code = width == 1 ? lead : lead & (0xFF >> (width + 1));
                for (std::size_t k = 1; k < one.size(); ++k)
                    code = (code << 6) | (static_cast<unsigned char>(one[k]) & 0x3F);
                char hex[16];
                std::snprintf(hex, sizeof hex, "U+%04X", code);
                return std::string("The document holds the character ") + hex +
                       ", which GBK cannot represent";
            }
            i += width;
        }
        return "The document holds a character that GBK cannot represent";
    }

    // An attribute that must be present; an empty one is fine.
    std::string Attribute(xmlNodePtr element, const char* name) const
    {
        for (xmlAttrPtr attr = element->properties; attr; attr = attr->next) {
            if (attr->ns != nullptr || std::strcmp(reinterpret_cast<const char*>(attr->name), name) != 0)
                continue;
            xmlNodePtr value = attr->children;
            if (value == nullptr)
                return {};
            if (value->next == nullptr && value->type == XML_TEXT_NODE)
                return Gbk(value->content, element);
            std::unique_ptr<xmlChar, decltype(xmlFree)> joined(xmlNodeListGetString(element->doc, value, 1),
                                                               xmlFree);
            return joined ? Gbk(joined.get(), element) : std::string();
        }
        throw Error("Could not convert variant of type (Null) into type (String)");
    }

    // The element's one text or CDATA node; no content reads as empty.
    std::string Text(xmlNodePtr element) const
    {
        xmlNodePtr child = element->children;
        if (child == nullptr)
            return {};
        if (child->next != nullptr || (child->type != XML_TEXT_NODE && child->type != XML_CDATA_SECTION_NODE))
            throw Error("Element does not contain a single text node");
        return Gbk(child->content, element);
    }

    static void Join(std::string& field, const std::string& value)
    {
        if (field.empty()) {
            field = value;
        } else {
            field += ';';
            field += value;
        }
    }

    void ReadServers(xmlNodePtr root, SetupModel& model) const
    {
        xmlNodePtr list = FirstChildNamed(root, "ServerList");
        if (list == nullptr)
            return;
        for (xmlNodePtr g = xmlFirstElementChild(list); g; g = xmlNextElementSibling(g)) {
            model.groups.Append({Attribute(g, "Name")});
            for (xmlNodePtr s = xmlFirstElementChild(g); s; s = xmlNextElementSibling(s)) {
                ServerEntry server;
                server.Group = Attribute(g, "Name");
                server.ShowName = Attribute(s, "Name");
                for (xmlNodePtr c = xmlFirstElementChild(s); c; c = xmlNextElementSibling(c)) {
                    Join(server.Name, Text(c));
                    Join(server.Addr, Attribute(c, "Addrs"));
                    Join(server.Port, Attribute(c, "Port"));
                }
                model.servers.Append(std::move(server));
            }
        }
    }

    void ReadUrls(xmlNodePtr root, WebAddresses& web) const
    {
        xmlNodePtr urls = FirstChildNamed(root, "Url");
        if (urls == nullptr)
            return;
        const std::pair<const char*, std::string*> fields[] = {
            {"Loginframe", &web.LoginframeUrl}, {"ContactGM", &web.GMUrl}, {"Payment", &web.PayUrl},
            {"Payment2", &web.PayUrl2},         {"Home", &web.HomeUrl},
        };
        for (const auto& [name, field] : fields) {
            xmlNodePtr element = FirstChildNamed(urls, name);
            if (element == nullptr)
                continue;
            std::string text = Text(element);
            if (!text.empty())
                *field = std::move(text);
        }
    }

    void ReadUpdates(xmlNodePtr root, SetupModel& model) const
    {
        xmlNodePtr list = FirstChildNamed(root, "UpDate");
        if (list == nullptr)
            return;
        for (xmlNodePtr e = xmlFirstElementChild(list); e; e = xmlNextElementSibling(e)) {
            UpdateEntry entry;
            entry.Hint = Text(e);
            entry.SaveDir = Attribute(e, "SDir");
            entry.SaveName = Attribute(e, "FName");
            entry.DownUrl = Attribute(e, "DUrl");
            entry.Zip = ZipWordForCode(Attribute(e, "ZIP"));
            entry.CheckType = CheckWordForCode(Attribute(e, "Check"));
            entry.DownType = DownTypeWordForCode(Attribute(e, "DType"));
            entry.Date = Attribute(e, "Date");
            entry.Ver = Attribute(e, "VAR");
            entry.MD5 = Attribute(e, "MD5");
            entry.DownMD5 = Attribute(e, "ID");
            model.updates.Append(std::move(entry));
        }
    }

    std::string_view source_;
};

// ---------------------------------------------------------------------------
// Top-level comments and processing instructions of the working copy

struct TopLevelNodes {
    std::vector<std::string> beforeRoot;
    std::vector<std::string> afterRoot;
};

// Collects the top-level nodes with a SAX pass: no tree is built, so keeping
// them costs one parse of the working copy and little memory.
struct TopLevelCollector {
    TopLevelNodes nodes;
    int depth = 0;
    bool rootSeen = false;

    static TopLevelCollector& Of(void* parserContext)
    {
        return *static_cast<TopLevelCollector*>(ReportOf(parserContext).client);
    }

    void Keep(std::string utf8)
    {
        if (depth == 0)
            (rootSeen ? nodes.afterRoot : nodes.beforeRoot).push_back(std::move(utf8));
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

// The working copy's top-level nodes as GBK text; none when it can no longer be
// read or parsed, so that the operator's edits can still be written.
TopLevelNodes PreservedNodes(const std::filesystem::path& workingCopy)
{
    std::string bytes;
    try {
        bytes = ReadFile(workingCopy);
    } catch (const Error&) {
        return {};
    }
    Parser parser;
    TopLevelCollector collector;
    xmlSAXHandler* sax = parser.Context()->sax;
    xmlSAXHandler handler{};
    handler.initialized = XML_SAX2_MAGIC;
    handler.serror = sax->serror;
    handler.entityDecl = sax->entityDecl;
    handler.unparsedEntityDecl = sax->unparsedEntityDecl;
    handler.startElementNs = TopLevelCollector::StartElement;
    handler.endElementNs = TopLevelCollector::EndElement;
    handler.comment = TopLevelCollector::Comment;
    handler.processingInstruction = TopLevelCollector::Instruction;
    *sax = handler;
    parser.SetClient(&collector);
    try {
        parser.Parse(bytes);
    } catch (const Error&) {
        return {};
    }
    if (parser.Report().failed)
        return {};
    TopLevelNodes gbk;
    try {
        for (const auto& node : collector.nodes.beforeRoot)
            gbk.beforeRoot.push_back(WithCrLf(Utf8ToGbk(node)));
        for (const auto& node : collector.nodes.afterRoot)
            gbk.afterRoot.push_back(WithCrLf(Utf8ToGbk(node)));
    } catch (const Error&) {
        return {};
    }
    return gbk;
}

// ---------------------------------------------------------------------------
// Writing

// Appends a value as XML character data. Plain values are checked, because a
// document holding control characters or broken GBK could not be loaded again.
void AppendEscaped(std::string& out, std::string_view value, bool attribute)
{
    bool expectTrail = false;
    for (char c : value) {
        const auto b = static_cast<unsigned char>(c);
        if (expectTrail) {
            if (b < 0x40 || b == 0x7F || b == 0xFF)
                throw Error("A value holds bytes that are not GBK text, so it cannot be written");
            expectTrail = false;
            out += c;
            continue;
        }
        switch (c) {
        case '&': out += "&amp;"; continue;
        case '<': out += "&lt;"; continue;
        case '>': out += "&gt;"; continue;
        case '"': out += attribute ? "&quot;" : "\""; continue;
        case '\n': out += "&#10;"; continue;
        case '\r': out += "&#13;"; continue;
        case '\t': out += attribute ? "&#9;" : "\t"; continue;
        default: break;
        }
        if (b < 0x20)
            throw Error("A value holds the control character " + std::to_string(b) +
                        ", which an XML document cannot hold");
        if (b == 0x80 || b == 0xFF)
            throw Error("A value holds bytes that are not GBK text, so it cannot be written");
        expectTrail = IsGbkLead(b);
        out += c;
    }
    if (expectTrail)
        throw Error("A value holds bytes that are not GBK text, so it cannot be written");
}

// One run of the writer: the document text, built directly.
class DocumentWriter {
public:
    DocumentWriter(bool encode, const std::function<void(std::string_view)>& trace)
        : encode_(encode)
    {
        if (encode_)
            encoder_.emplace(BuiltInKey(), trace);
    }

    std::string Build(const SetupModel& model, const TopLevelNodes& keep)
    {
        out_.reserve(256 + model.servers.Count() * 200 + model.updates.Count() * 200);
        out_ += "<?xml version=\"1.0\" encoding=\"GB2312\"?>";
        out_ += kLineBreak;
        for (const auto& node : keep.beforeRoot)
            Line(node);
        out_ += "<XMLSetup>";
        out_ += kLineBreak;
        WriteServers(model);
        WriteUrls(model.web);
        WriteUpdates(model);
        out_ += "</XMLSetup>";
        out_ += kLineBreak;
        for (const auto& node : keep.afterRoot)
            Line(node);
        return std::move(out_);
    }

private:
    std::string EncodeIfRequested(std::string_view text)
    {
        return encode_ ? encoder_->EncodeValue(text) : std::string(text);
    }

    void Line(std::string_view text)
    {
        out_ += text;
        out_ += kLineBreak;
    }

    void Open(int level, std::string_view name)
    {
        out_.append(static_cast<std::size_t>(level) * 2, ' ');
        out_ += '<';
        out_ += name;
    }

    void Attribute(std::string_view name, std::string_view value)
    {
        out_ += ' ';
        out_ += name;
        out_ += "=\"";
        AppendEscaped(out_, value, true);
        out_ += '"';
    }

    // Ends an element that has no child elements: with its text, or empty.
    void CloseWithText(std::string_view name, std::string_view text)
    {
        if (text.empty()) {
            out_ += "/>";
        } else {
            out_ += '>';
            AppendEscaped(out_, text, false);
            out_ += "</";
            out_ += name;
            out_ += '>';
        }
        out_ += kLineBreak;
    }

    void EndStartTag()
    {
        out_ += '>';
        out_ += kLineBreak;
    }

    void Close(int level, std::string_view name)
    {
        out_.append(static_cast<std::size_t>(level) * 2, ' ');
        out_ += "</";
        out_ += name;
        out_ += '>';
        out_ += kLineBreak;
    }

    void WriteServers(const SetupModel& model)
    {
        if (model.groups.Count() == 0) {
            Open(1, "ServerList");
            CloseWithText("ServerList", {});
            return;
        }
        // A group's servers are those whose Group matches its name exactly, in
        // list order; grouping once keeps the writer linear.
        std::unordered_map<std::string_view, std::vector<const ServerEntry*>> byGroup;
        byGroup.reserve(model.groups.Count());
        for (const auto& group : model.groups)
            byGroup.try_emplace(group.Name);
        for (const auto& server : model.servers) {
            auto found = byGroup.find(server.Group);
            if (found != byGroup.end())
                found->second.push_back(&server);
        }

        Open(1, "ServerList");
        EndStartTag();
        for (const auto& group : model.groups) {
            const auto& servers = byGroup.at(group.Name);
            Open(2, "Group");
            Attribute("Name", EncodeIfRequested(group.Name));
            if (servers.empty()) {
                CloseWithText("Group", {});
                continue;
            }
            EndStartTag();
            for (const ServerEntry* server : servers)
                WriteServer(*server);
            Close(2, "Group");
        }
        Close(1, "ServerList");
    }

    void WriteServer(const ServerEntry& server)
    {
        Open(3, "Server");
        Attribute("Name", EncodeIfRequested(server.ShowName));
        TokenSplit n{{}, server.Name};
        TokenSplit a{{}, server.Addr};
        TokenSplit p{{}, server.Port};
        bool anyChild = false;
        for (;;) {
            n = TakeToken(n.Rest, ";");
            a = TakeToken(a.Rest, ";");
            p = TakeToken(p.Rest, ";");
            if (n.Token.empty() || a.Token.empty())
                break;
            if (!anyChild)
                EndStartTag();
            anyChild = true;
            const std::string text = EncodeIfRequested(n.Token);
            Open(4, "Child");
            Attribute("Addrs", EncodeIfRequested(a.Token));
            Attribute("Port", EncodeIfRequested(p.Token));
            CloseWithText("Child", text);
        }
        if (anyChild)
            Close(3, "Server");
        else
            CloseWithText("Server", {});
    }

    void WriteUrls(const WebAddresses& web)
    {
        Open(1, "Url");
        EndStartTag();
        const std::pair<const char*, const std::string*> fields[] = {
            {"Loginframe", &web.LoginframeUrl}, {"ContactGM", &web.GMUrl}, {"Payment", &web.PayUrl},
            {"Payment2", &web.PayUrl2},         {"Home", &web.HomeUrl},
        };
        for (const auto& [name, value] : fields) {
            Open(2, name);
            CloseWithText(name, EncodeIfRequested(*value));
        }
        Close(1, "Url");
    }

    void WriteUpdates(const SetupModel& model)
    {
        Open(1, "UpDate");
        if (model.updates.Count() == 0) {
            CloseWithText("UpDate", {});
            return;
        }
        EndStartTag();
        for (const auto& u : model.updates) {
            const std::string hint = EncodeIfRequested(u.Hint);
            Open(2, "Config");
            Attribute("SDir", EncodeIfRequested(u.SaveDir));
            Attribute("FName", EncodeIfRequested(u.SaveName));
            Attribute("DUrl", EncodeIfRequested(u.DownUrl));
            Attribute("ZIP", ZipCode(u.Zip));
            Attribute("Check", CheckCode(u.CheckType));
            Attribute("DType", DownTypeCode(u.DownType));
            Attribute("Date", u.Date);
            Attribute("VAR", u.Ver);
            Attribute("MD5", u.MD5);
            Attribute("ID", u.DownMD5);
            CloseWithText("Config", hint);
        }
        Close(1, "UpDate");
    }

    bool encode_;
    std::optional<FieldEncoder> encoder_;
    std::string out_;
};

// The lines of a text cut at CR, LF or CR LF (a zero byte ends the text), each
// followed by CR LF, between "$BEGIN" and "$END".
std::string WrapServerInfo(std::string_view document)
{
    document = document.substr(0, document.find('\0'));
    std::string out;
    out.reserve(document.size() + document.size() / 16 + 16);
    out += "$BEGIN";
    out += kLineBreak;
    std::size_t start = 0;
    while (start < document.size()) {
        std::size_t end = document.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = document.size();
        out.append(document, start, end - start);
        out += kLineBreak;
        if (end < document.size() && document[end] == '\r' && end + 1 < document.size() && document[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    out += "$END";
    out += kLineBreak;
    return out;
}

} // namespace

TokenSplit TakeToken(std::string_view Source, std::string_view Dividers)
{
    if (Source.size() >= kTokenLimit || Source.empty())
        return {};
    const std::size_t first = Source.find_first_not_of(Dividers);
    if (first == std::string_view::npos)
        return {};
    const std::size_t end = Source.find_first_of(Dividers, first);
    if (end == std::string_view::npos)
        return {std::string(Source.substr(first)), {}};
    return {std::string(Source.substr(first, end - first)), std::string(Source.substr(end + 1))};
}

ConfigurationDocument::ConfigurationDocument(std::filesystem::path workingCopy)
    : workingCopy_(std::move(workingCopy))
{
}

void ConfigurationDocument::LoadConfiguration(SetupModel& model)
{
    std::error_code ec;
    if (!std::filesystem::exists(workingCopy_, ec))
        return;
    const std::string bytes = ReadFile(workingCopy_);
    Parser parser;
    DocPtr doc = parser.Parse(bytes);
    if (!doc || parser.Report().failed) {
        const ParseReport& report = parser.Report();
        throw DocumentError(report.reason, bytes, report.line);
    }
    loaded_ = true;
    xmlNodePtr root = xmlDocGetRootElement(doc.get());
    if (root != nullptr)
        TreeReader(bytes).Read(root, model);
}

std::string ConfigurationDocument::BuildDocument(const SetupModel& model, bool Encode) const
{
    const TopLevelNodes keep = loaded_ ? PreservedNodes(workingCopy_) : TopLevelNodes{};
    return DocumentWriter(Encode, trace_).Build(model, keep);
}

void ConfigurationDocument::WriteConfiguration(const SetupModel& model, const std::filesystem::path& FileName,
                                               bool Encode) const
{
    ReplaceFile(FileName, BuildDocument(model, Encode));
}

void WriteServerInfo(const ConfigurationDocument& document, const SetupModel& model,
                     const std::filesystem::path& FileName)
{
    ReplaceFile(FileName, WrapServerInfo(document.BuildDocument(model, true)));
}

} // namespace tarnwick
