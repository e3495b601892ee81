#include "config/document_reader.h"

#include "base/translatable.h"
#include "base/text.h"
#include "config/xml_parser.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick {
namespace {

constexpr std::size_t kMaxTextNodeBytes = 10'000'000;
const char* const kMissingAttribute = QT_TRANSLATE_NOOP("Tarnwick", "无法将类型 (%1) 的值转换为类型 (%2)");

std::string_view View(const xmlChar* begin, const xmlChar* end)
{
    return {reinterpret_cast<const char*>(begin), static_cast<std::size_t>(end - begin)};
}

// Names the first character that GBK lacks, e.g. one given as "&#x1F600;".
Message UnrepresentableReason(std::string_view utf8)
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
            return Message(QT_TRANSLATE_NOOP("Tarnwick", "文档中有 GBK 无法表示的字符 %1")).Arg(hex);
        }
        i += width;
    }
    return Message(QT_TRANSLATE_NOOP("Tarnwick", "文档中有 GBK 无法表示的字符"));
}

// The content of an element as a tree would hold it: adjacent text merges
// into one node, as do adjacent CDATA sections; anything else is a node of
// its own. A value is read only from an element with one text or CDATA node.
class ElementText {
public:
    void Characters(std::string_view utf8, bool cdata)
    {
        const Kind kind = cdata ? Kind::CData : Kind::Text;
        if (nodes_ == 0 || last_ != kind)
            ++nodes_;
        last_ = kind;
        utf8_ += utf8;
    }
    void OtherNode()
    {
        ++nodes_;
        last_ = Kind::Other;
    }
    bool Single() const { return nodes_ == 0 || (nodes_ == 1 && last_ != Kind::Other); }
    std::string Utf8() && { return std::move(utf8_); }

private:
    enum class Kind { Text, CData, Other };
    int nodes_ = 0;
    Kind last_ = Kind::Other;
    std::string utf8_;
};

// An element's attributes as the parser gave them (UTF-8), looked up by name.
class Attributes {
public:
    Attributes(const xmlChar** attributes, int count) : attributes_(attributes), count_(count) {}

    std::optional<std::string> Get(const char* name) const
    {
        for (int i = 0; i < count_; ++i) {
            const xmlChar** a = attributes_ + 5 * i;
            // A prefixed attribute lives in another namespace: not the one asked for.
            if (a[1] != nullptr || std::strcmp(reinterpret_cast<const char*>(a[0]), name) != 0)
                continue;
            return Decoded(View(a[3], a[4]));
        }
        return std::nullopt;
    }

private:
    // Without entity substitution the parser hands an ampersand in an attribute
    // value on as "&#38;"; every '&' in a value is one of those.
    static std::string Decoded(std::string_view value)
    {
        std::string out;
        out.reserve(value.size());
        for (std::size_t at = 0;;) {
            const std::size_t amp = value.find('&', at);
            out.append(value.substr(at, amp - at));
            if (amp == std::string_view::npos)
                return out;
            out += '&';
            const std::size_t end = value.find(';', amp);
            at = end == std::string_view::npos ? value.size() : end + 1;
        }
    }

    const xmlChar** attributes_;
    int count_;
};

// What one element is to the loader.
enum class Role { Ignored, Root, ServerList, Url, UpDate, Group, Server, Child, UrlField, Config };

std::string* UrlField(WebAddresses& web, std::size_t index) { return &(web.*kWebAddressFields[index].member); }

// "Loginframe 的文字", for the messages about a value of the Url section, in
// the order of kWebAddressFields.
const char* UrlWhere(std::size_t index)
{
    static constexpr const char* kWhere[] = {QT_TRANSLATE_NOOP("Tarnwick", "Loginframe 的文字"), QT_TRANSLATE_NOOP("Tarnwick", "ContactGM 的文字"), QT_TRANSLATE_NOOP("Tarnwick", "Payment 的文字"), QT_TRANSLATE_NOOP("Tarnwick", "Payment2 的文字"), QT_TRANSLATE_NOOP("Tarnwick", "Home 的文字")};
    static_assert(std::size(kWhere) == kWebAddressFields.size());
    return kWhere[index];
}

// Builds the model from the parser's events. The three sections are read
// independently, each up to its first failure, and applied in the order
// ServerList, Url, UpDate: what a walk over the finished document would give.
class ModelBuilder {
public:
    // source: the document's text, decoded to UTF-8.
    ModelBuilder(std::string_view source, ValueDecoding* decoding) : source_(source), decoding_(decoding)
    {
        // Growing a list of 100,000 servers by doubling would hold two copies
        // at once; an estimate made from the text avoids that. Storage that is
        // reserved but never filled costs no memory, and the estimate cannot
        // exceed a thirty-second of the text.
        std::size_t servers = 0;
        for (std::size_t at = source.find("<Server"); at != std::string_view::npos; at = source.find("<Server", at + 7))
            ++servers;
        servers_.reserve(std::min(servers, source.size() / 32));
    }

    void StartElement(void* ctx, const xmlChar* localname, int attributeCount, int defaulted,
                      const xmlChar** attributes)
    {
        textRun_ = 0;
        topLevel_.EnterElement();
        // An element inside one whose text is read makes that text unreadable.
        if (text_ && roles_.size() == textDepth_)
            text_->OtherNode();
        // Attributes defaulted by a DTD are not part of the element as it is read.
        const Attributes attrs(attributes, attributeCount - defaulted);
        roles_.push_back(RoleOf(reinterpret_cast<const char*>(localname)));
        switch (roles_.back()) {
        case Role::Group: StartGroup(ctx, attrs); break;
        case Role::Server: StartServer(ctx, attrs); break;
        case Role::Child: StartChild(ctx, attrs); break;
        case Role::UrlField: StartText(ctx); break;
        case Role::Config: StartConfig(ctx, attrs); break;
        default: break;
        }
    }

    void EndElement()
    {
        textRun_ = 0;
        topLevel_.LeaveElement();
        switch (roles_.back()) {
        case Role::Server: EndServer(); break;
        case Role::Child: EndChild(); break;
        case Role::UrlField: EndUrlField(); break;
        case Role::Config: EndConfig(); break;
        default: break;
        }
        roles_.pop_back();
    }

    void Characters(void* ctx, const xmlChar* chars, int length, bool cdata)
    {
        if (cdata) {
            textRun_ = 0;
        } else {
            // As a tree builder refuses a text node over libxml2's limit.
            textRun_ += static_cast<std::size_t>(length);
            if (textRun_ > kMaxTextNodeBytes) {
                xml::Parser::Refuse(ctx, Message(QT_TRANSLATE_NOOP("Tarnwick", "有一段文字长于 10,000,000 字节，即文档中一段内容最多可有的长度")));
                return;
            }
        }
        if (text_ && roles_.size() == textDepth_)
            text_->Characters(View(chars, chars + length), cdata);
    }

    // A comment, processing instruction or entity reference in the content.
    void OtherNode()
    {
        textRun_ = 0;
        if (text_ && roles_.size() == textDepth_)
            text_->OtherNode();
    }

    xml::TopLevelCollector& TopLevel() { return topLevel_; }

    // Moves what was read into the model, in the order of a walk over the
    // document; returns the failure that such a walk would have stopped at.
    std::optional<Error> ApplyTo(SetupModel& model)
    {
        model.groups.AppendAll(std::move(groups_));
        model.servers.AppendAll(std::move(servers_));
        if (serversFailure_)
            return serversFailure_;
        for (std::size_t i = 0; i < kWebAddressFields.size(); ++i) {
            if (urlFailures_[i])
                return urlFailures_[i];
            if (!urls_[i].empty())
                *UrlField(model.web, i) = std::move(urls_[i]);
        }
        model.updates.AppendAll(std::move(updates_));
        return updatesFailure_;
    }

private:
    Role RoleOf(std::string_view name)
    {
        const Role parent = roles_.empty() ? Role::Ignored : roles_.back();
        switch (roles_.size()) {
        case 0: return Role::Root;
        case 1: return FirstSection(name);
        default: break;
        }
        switch (parent) {
        case Role::ServerList: return serversFailure_ ? Role::Ignored : Role::Group;
        case Role::Group: return serversFailure_ ? Role::Ignored : Role::Server;
        case Role::Server: return serversFailure_ ? Role::Ignored : Role::Child;
        case Role::UpDate: return updatesFailure_ ? Role::Ignored : Role::Config;
        case Role::Url:
            for (std::size_t i = 0; i < kWebAddressFields.size(); ++i) {
                if (name != kWebAddressFields[i].element || urlSeen_[i])
                    continue;
                urlSeen_[i] = true;
                urlIndex_ = i;
                return Role::UrlField;
            }
            return Role::Ignored;
        default: return Role::Ignored;
        }
    }

    // Only the first section of each name counts.
    Role FirstSection(std::string_view name)
    {
        const std::pair<const char*, Role> sections[] = {
            {"ServerList", Role::ServerList}, {"Url", Role::Url}, {"UpDate", Role::UpDate}};
        for (std::size_t i = 0; i < 3; ++i) {
            if (name != sections[i].first || sectionSeen_[i])
                continue;
            sectionSeen_[i] = true;
            return sections[i].second;
        }
        return Role::Ignored;
    }

    void StartText(void* ctx)
    {
        text_.emplace();
        textDepth_ = roles_.size();
        line_ = xml::Parser::LineOf(ctx);
    }

    // GBK of a value read from the element that started at line_.
    std::optional<std::string> Gbk(std::string utf8, std::optional<Error>& failure) const
    {
        if (IsAscii(utf8))
            return utf8;
        if (auto gbk = TryUtf8ToGbk(utf8))
            return gbk;
        failure = xml::DocumentErrorInText(UnrepresentableReason(utf8), source_, line_);
        return std::nullopt;
    }

    // A value that must be present; an empty one is fine.
    std::optional<std::string> Required(std::optional<std::string>& utf8, std::optional<Error>& failure) const
    {
        if (!utf8) {
            failure = Error(Message(kMissingAttribute).Arg("Null").Arg("String"), ErrorKind::Damaged);
            return std::nullopt;
        }
        return Gbk(std::move(*utf8), failure);
    }

    // The text of the element whose text was collected.
    std::optional<std::string> TakeText(std::optional<Error>& failure)
    {
        ElementText text = std::move(*text_);
        text_.reset();
        if (!text.Single()) {
            failure = Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "元素不是只含一个文字节点")), ErrorKind::Damaged);
            return std::nullopt;
        }
        return Gbk(std::move(text).Utf8(), failure);
    }

    // The plain value of one that ServerInfo.txt encodes.
    std::string Plain(std::string value, const char* where) const
    {
        return decoding_ ? decoding_->Decode(std::move(value), where, line_) : std::move(value);
    }

    void StartGroup(void* ctx, const Attributes& attrs)
    {
        line_ = xml::Parser::LineOf(ctx);
        auto value = attrs.Get("Name");
        auto name = Required(value, serversFailure_);
        if (!name)
            return;
        group_ = Plain(std::move(*name), QT_TRANSLATE_NOOP("Tarnwick", "分组的 Name"));
        groups_.push_back({group_});
    }

    void StartServer(void* ctx, const Attributes& attrs)
    {
        line_ = xml::Parser::LineOf(ctx);
        server_ = ServerEntry{group_, {}, {}, {}, {}};
        auto value = attrs.Get("Name");
        if (auto showName = Required(value, serversFailure_))
            server_.ShowName = Plain(std::move(*showName), QT_TRANSLATE_NOOP("Tarnwick", "服务器的 Name"));
    }

    void EndServer()
    {
        if (!serversFailure_)
            servers_.push_back(std::move(server_));
    }

    void StartChild(void* ctx, const Attributes& attrs)
    {
        StartText(ctx);
        childAddrs_ = attrs.Get("Addrs");
        childPort_ = attrs.Get("Port");
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

    void EndChild()
    {
        const auto text = TakeText(serversFailure_);
        if (!text)
            return;
        const auto addrs = Required(childAddrs_, serversFailure_);
        if (!addrs)
            return;
        const auto port = Required(childPort_, serversFailure_);
        if (!port)
            return;
        Join(server_.Name, Plain(*text, QT_TRANSLATE_NOOP("Tarnwick", "Child 的文字")));
        Join(server_.Addr, Plain(*addrs, QT_TRANSLATE_NOOP("Tarnwick", "Child 的 Addrs")));
        Join(server_.Port, Plain(*port, QT_TRANSLATE_NOOP("Tarnwick", "Child 的 Port")));
    }

    void EndUrlField()
    {
        if (auto text = TakeText(urlFailures_[urlIndex_]))
            urls_[urlIndex_] = Plain(std::move(*text), UrlWhere(urlIndex_));
    }

    static constexpr std::array<const char*, 10> kConfigAttributes = {"SDir", "FName", "DUrl", "ZIP", "Check",
                                                                       "DType", "Date", "VAR", "MD5", "ID"};

    void StartConfig(void* ctx, const Attributes& attrs)
    {
        StartText(ctx);
        for (std::size_t i = 0; i < kConfigAttributes.size(); ++i)
            config_[i] = attrs.Get(kConfigAttributes[i]);
    }

    void EndConfig()
    {
        UpdateEntry entry;
        auto hint = TakeText(updatesFailure_);
        if (!hint)
            return;
        entry.Hint = Plain(std::move(*hint), QT_TRANSLATE_NOOP("Tarnwick", "Config 的文字"));
        std::array<std::string, 10> values;
        for (std::size_t i = 0; i < values.size(); ++i) {
            auto value = Required(config_[i], updatesFailure_);
            if (!value)
                return;
            values[i] = std::move(*value);
        }
        entry.SaveDir = Plain(std::move(values[0]), QT_TRANSLATE_NOOP("Tarnwick", "Config 的 SDir"));
        entry.SaveName = Plain(std::move(values[1]), QT_TRANSLATE_NOOP("Tarnwick", "Config 的 FName"));
        entry.DownUrl = Plain(std::move(values[2]), QT_TRANSLATE_NOOP("Tarnwick", "Config 的 DUrl"));
        entry.Zip = ZipWordForCode(values[3]);
        entry.CheckType = CheckWordForCode(values[4]);
        entry.DownType = DownTypeWordForCode(values[5]);
        entry.Date = std::move(values[6]);
        entry.Ver = std::move(values[7]);
        entry.MD5 = std::move(values[8]);
        entry.DownMD5 = std::move(values[9]);
        updates_.push_back(std::move(entry));
    }

    std::string_view source_;
    ValueDecoding* decoding_;
    std::vector<Role> roles_;
    std::array<bool, 3> sectionSeen_{};
    std::vector<ServerGroup> groups_;
    std::vector<ServerEntry> servers_;
    std::vector<UpdateEntry> updates_;
    long line_ = 0; // where the element being read started

    std::optional<Error> serversFailure_;
    std::string group_;
    ServerEntry server_;
    std::optional<std::string> childAddrs_;
    std::optional<std::string> childPort_;

    std::array<bool, 5> urlSeen_{};
    std::size_t urlIndex_ = 0;
    std::array<std::string, 5> urls_;
    std::array<std::optional<Error>, 5> urlFailures_;

    std::optional<Error> updatesFailure_;
    std::array<std::optional<std::string>, 10> config_;

    std::optional<ElementText> text_;
    std::size_t textDepth_ = 0; // roles_.size() inside the element whose text is read
    std::size_t textRun_ = 0;   // bytes of the text node being built, at any depth
    xml::TopLevelCollector topLevel_;
};

// The builder while the document is still being read. libxml2 goes on past
// some errors, but what follows a failure is no longer the document as
// written, so nothing after it is taken.
ModelBuilder* BuilderOf(void* ctx)
{
    return xml::Parser::Failed(ctx) ? nullptr : static_cast<ModelBuilder*>(xml::Parser::ClientOf(ctx));
}

xmlSAXHandler Events()
{
    xmlSAXHandler events{};
    events.startElementNs = [](void* ctx, const xmlChar* localname, const xmlChar*, const xmlChar*, int,
                               const xmlChar**, int attributeCount, int defaulted, const xmlChar** attributes) {
        if (ModelBuilder* builder = BuilderOf(ctx))
            builder->StartElement(ctx, localname, attributeCount, defaulted, attributes);
    };
    events.endElementNs = [](void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
        if (ModelBuilder* builder = BuilderOf(ctx))
            builder->EndElement();
    };
    events.characters = [](void* ctx, const xmlChar* chars, int length) {
        if (ModelBuilder* builder = BuilderOf(ctx))
            builder->Characters(ctx, chars, length, false);
    };
    events.ignorableWhitespace = events.characters;
    events.cdataBlock = [](void* ctx, const xmlChar* chars, int length) {
        if (ModelBuilder* builder = BuilderOf(ctx))
            builder->Characters(ctx, chars, length, true);
    };
    events.comment = [](void* ctx, const xmlChar* value) {
        if (ModelBuilder* builder = BuilderOf(ctx)) {
            builder->OtherNode();
            builder->TopLevel().Comment(value);
        }
    };
    events.processingInstruction = [](void* ctx, const xmlChar* target, const xmlChar* data) {
        if (ModelBuilder* builder = BuilderOf(ctx)) {
            builder->OtherNode();
            builder->TopLevel().Instruction(target, data);
        }
    };
    events.reference = [](void* ctx, const xmlChar*) {
        if (ModelBuilder* builder = BuilderOf(ctx))
            builder->OtherNode();
    };
    return events;
}

} // namespace

DocumentReading ReadConfigurationDocument(std::string bytes, SetupModel& model, ValueDecoding* decoding)
{
    xml::Parser parser;
    std::optional<std::string> utf8;
    // Where the bytes stop being GBK: only the lines before it are read.
    std::optional<Error> notGbk;
    // ASCII is the same text in UTF-8. A server information file, whose values
    // are all encoded, is nothing else: tens of megabytes need no conversion.
    if (IsAscii(bytes)) {
        utf8 = std::move(bytes);
    } else {
        xml::ParseReport decodingReport;
        utf8 = xml::DocumentText(bytes, decodingReport);
        if (!utf8) {
            notGbk = xml::DocumentError(decodingReport.reason, bytes, decodingReport.line);
            utf8 = xml::GbkLinesBefore(bytes, decodingReport.line);
        }
    }
    // Failures quote the decoded text, so the bytes need not be kept through the parse.
    std::string().swap(bytes);
    ModelBuilder builder(*utf8, decoding);
    DocumentReading reading;
    if (!parser.ParseText(*utf8, Events(), &builder)) {
        // Lines cut off before bytes that are not GBK end too soon for the
        // parser; the bytes are the damage then, not the end it met.
        const bool cutBeforeNotGbk = notGbk && parser.Report().atEnd;
        reading.damage = cutBeforeNotGbk ? std::move(notGbk) : parser.ReportedErrorInText(*utf8);
    } else {
        reading.damage = std::move(notGbk);
    }
    // A damaged document is told as such before any value it holds.
    reading.failure = builder.ApplyTo(model);
    if (reading.damage)
        reading.failure = reading.damage;
    reading.topLevel = std::move(builder.TopLevel()).Result();
    return reading;
}

} // namespace tarnwick
