#include "config/document_writer.h"

#include "config/document.h"
#include "base/error.h"
#include "config/field_encoder.h"
#include "base/text.h"
#include "base/translatable.h"

#include <optional>
#include <unordered_map>
#include <vector>

namespace tarnwick {
namespace {

// The start of a value for a message, control characters shown as '?'.
std::string Quoted(std::string_view value)
{
    std::string shown(CutGbk(value, 40));
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    return "\"" + shown + (shown.size() < value.size() ? "...\"" : "\"");
}

// Appends a value as XML character data. Values are checked, because a
// document holding control characters or broken GBK could not be loaded again.
void AppendEscaped(std::string& out, std::string_view value, bool attribute)
{
    bool ascii = true;
    for (char c : value) {
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
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20)
            throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "值 %1 含有控制字符 %2，XML 文档不能含有它")).Arg(Quoted(value)).Arg(std::to_string(b)));
        ascii = ascii && b < 0x80;
        // A GBK trail byte is 0x40 or above, so it never looks like one of the bytes above.
        out += c;
    }
    if (!ascii && !IsGbkText(value))
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "值 %1 含有不是 GBK 文字的字节，无法写入")).Arg(Quoted(value)));
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
        const std::vector<ConnectionEntry> entries = ConnectionEntriesOf(server);
        if (!entries.empty())
            EndStartTag();
        for (const ConnectionEntry& entry : entries) {
            const std::string text = EncodeIfRequested(entry.Name);
            Open(4, "Child");
            Attribute("Addrs", EncodeIfRequested(entry.Addr));
            Attribute("Port", EncodeIfRequested(entry.Port));
            CloseWithText("Child", text);
        }
        if (!entries.empty())
            Close(3, "Server");
        else
            CloseWithText("Server", {});
    }

    void WriteUrls(const WebAddresses& web)
    {
        Open(1, "Url");
        EndStartTag();
        for (const WebAddressField& field : kWebAddressFields) {
            Open(2, field.element);
            CloseWithText(field.element, EncodeIfRequested(web.*field.member));
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

} // namespace

std::string WriteDocumentText(const SetupModel& model, bool encode,
                              const std::function<void(std::string_view)>& trace, const TopLevelNodes& keep)
{
    return DocumentWriter(encode, trace).Build(model, keep);
}

std::string WrapServerInfo(std::string_view document)
{
    document = document.substr(0, document.find('\0'));
    std::string out;
    out.reserve(document.size() + document.size() / 16 + 16);
    out += "$BEGIN";
    out += kLineBreak;
    ForEachLine(document, [&](std::string_view line) {
        out += line;
        out += kLineBreak;
        return true;
    });
    out += "$END";
    out += kLineBreak;
    return out;
}

} // namespace tarnwick
