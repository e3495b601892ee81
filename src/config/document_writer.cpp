#include "config/document_writer.h"

#include "config/document.h"
#include "base/error.h"
#include "config/field_encoder.h"
#include "base/text.h"
#include "base/translatable.h"

#include <array>
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

// The bytes that stand for themselves in text and in attributes alike: all
// but the markup characters and the control characters. GBK's bytes are among
// them, since a trail byte is 0x40 or above.
constexpr std::array<bool, 256> kPlainBytes = [] {
    std::array<bool, 256> plain{};
    for (std::size_t b = 0x20; b < plain.size(); ++b)
        plain[b] = true;
    plain['&'] = plain['<'] = plain['>'] = plain['"'] = false;
    return plain;
}();

// Appends a value as XML character data. Values are checked, because a
// document holding control characters or broken GBK could not be loaded again.
// The plain bytes go in as runs between escapes: most values have no escape.
void AppendEscaped(std::string& out, std::string_view value, bool attribute)
{
    unsigned char bits = 0;
    std::size_t pending = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto b = static_cast<unsigned char>(value[i]);
        bits |= b;
        if (kPlainBytes[b])
            continue;
        const char* escape = nullptr;
        switch (b) {
        case '&': escape = "&amp;"; break;
        case '<': escape = "&lt;"; break;
        case '>': escape = "&gt;"; break;
        case '"': escape = attribute ? "&quot;" : nullptr; break;
        case '\n': escape = "&#10;"; break;
        case '\r': escape = "&#13;"; break;
        case '\t': escape = attribute ? "&#9;" : nullptr; break;
        default:
            throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "值 %1 含有控制字符 %2，XML 文档不能含有它")).Arg(Quoted(value)).Arg(std::to_string(b)));
        }
        if (escape != nullptr) {
            out.append(value, pending, i - pending);
            out += escape;
            pending = i + 1;
        }
    }
    out.append(value, pending);
    const bool ascii = bits < 0x80;
    if (!ascii && !IsGbkText(value))
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "值 %1 含有不是 GBK 文字的字节，无法写入")).Arg(Quoted(value)));
}

// One run of the writer: the document text, built directly, either whole or
// handed to a sink in pieces.
class DocumentWriter {
public:
    using Sink = std::function<void(std::string_view)>;

    // Without a sink, the text stays for TakeText; with one, the sink takes
    // it in pieces of about kPieceSize.
    DocumentWriter(bool encode, const std::function<void(std::string_view)>& trace, const Sink* sink = nullptr)
        : encode_(encode), sink_(sink)
    {
        if (encode_)
            encoder_.emplace(BuiltInKey(), trace);
    }

    void Write(const SetupModel& model, const TopLevelNodes& keep)
    {
        out_.reserve(sink_ ? 2 * kPieceSize : 256 + model.servers.Count() * 200 + model.updates.Count() * 200);
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
        if (sink_) {
            (*sink_)(out_);
            out_.clear();
        }
    }

    std::string TakeText() { return std::move(out_); }

private:
    // The value as the document holds it: itself, or encoded into `buffer`.
    std::string_view Written(std::string_view value, std::string& buffer)
    {
        if (!encode_)
            return value;
        buffer = encoder_->EncodeValue(value);
        return buffer;
    }
    // For a value written at once, before the next one is asked for.
    std::string_view Written(std::string_view value) { return Written(value, scratch_); }

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
            Attribute("Name", Written(group.Name));
            if (servers.empty()) {
                CloseWithText("Group", {});
                PieceDone();
                continue;
            }
            EndStartTag();
            for (const ServerEntry* server : servers) {
                WriteServer(*server);
                PieceDone();
            }
            Close(2, "Group");
        }
        Close(1, "ServerList");
    }

    void WriteServer(const ServerEntry& server)
    {
        Open(3, "Server");
        Attribute("Name", Written(server.ShowName));
        ConnectionEntrySplitter entries(server);
        auto entry = entries.Next();
        if (!entry) {
            CloseWithText("Server", {});
            return;
        }
        EndStartTag();
        for (; entry; entry = entries.Next()) {
            // The name is encoded before the address and port: the trace lists them in that order.
            const std::string_view text = Written(entry->Name, text_);
            Open(4, "Child");
            Attribute("Addrs", Written(entry->Addr));
            Attribute("Port", Written(entry->Port));
            CloseWithText("Child", text);
        }
        Close(3, "Server");
    }

    void WriteUrls(const WebAddresses& web)
    {
        Open(1, "Url");
        EndStartTag();
        for (const WebAddressField& field : kWebAddressFields) {
            Open(2, field.element);
            CloseWithText(field.element, Written(web.*field.member));
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
            const std::string_view hint = Written(u.Hint, text_);
            Open(2, "Config");
            Attribute("SDir", Written(u.SaveDir));
            Attribute("FName", Written(u.SaveName));
            Attribute("DUrl", Written(u.DownUrl));
            Attribute("ZIP", ZipCode(u.Zip));
            Attribute("Check", CheckCode(u.CheckType));
            Attribute("DType", DownTypeCode(u.DownType));
            Attribute("Date", u.Date);
            Attribute("VAR", u.Ver);
            Attribute("MD5", u.MD5);
            Attribute("ID", u.DownMD5);
            CloseWithText("Config", hint);
            PieceDone();
        }
        Close(1, "UpDate");
    }

    // Passes the text written so far on once it makes a piece: a sink's
    // reader never needs it whole, and a small buffer stays in the cache.
    void PieceDone()
    {
        if (sink_ && out_.size() >= kPieceSize) {
            (*sink_)(out_);
            out_.clear();
        }
    }

    static constexpr std::size_t kPieceSize = 64 * 1024;

    bool encode_;
    const Sink* sink_;
    std::optional<FieldEncoder> encoder_;
    // Encoded values, reused: one for a text written after its attributes, one for the rest.
    std::string text_;
    std::string scratch_;
    std::string out_;
};

} // namespace

std::string WriteDocumentText(const SetupModel& model, bool encode,
                              const std::function<void(std::string_view)>& trace, const TopLevelNodes& keep)
{
    DocumentWriter writer(encode, trace);
    writer.Write(model, keep);
    return writer.TakeText();
}

void WriteDocumentPieces(const SetupModel& model, bool encode, const std::function<void(std::string_view)>& trace,
                         const TopLevelNodes& keep, const std::function<void(std::string_view)>& sink)
{
    DocumentWriter(encode, trace, &sink).Write(model, keep);
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
