#include "config/server_info_reader.h"

#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"
#include "config/document_reader.h"
#include "config/document_writer.h"
#include "config/field_decoder.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <vector>

namespace tarnwick {
namespace {

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"GB2312\"?>";

// Documents hold no other control characters, and only GBK text.
bool IsValueText(std::string_view value)
{
    bool ascii = true;
    for (char c : value) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 && c != '\t' && c != '\r' && c != '\n')
            return false;
        ascii = ascii && b < 0x80;
    }
    return ascii || IsGbkText(value);
}

// A line of the file, without its line break; `end` is where the break ends.
struct Line {
    std::string_view text;
    std::size_t end = 0;
};

Line LineAt(std::string_view bytes, std::size_t start)
{
    std::size_t stop = bytes.find_first_of("\r\n", start);
    if (stop == std::string_view::npos)
        return {bytes.substr(start), bytes.size()};
    Line line{bytes.substr(start, stop - start), stop + 1};
    if (bytes[stop] == '\r' && line.end < bytes.size() && bytes[line.end] == '\n')
        ++line.end;
    return line;
}

// Where the last line starts; a final line break starts no line. Found from
// the end, so that a large file is not walked line by line.
std::size_t LastLineStart(std::string_view bytes)
{
    std::size_t end = bytes.size();
    if (end > 0 && bytes[end - 1] == '\n')
        --end;
    if (end > 0 && bytes[end - 1] == '\r')
        --end;
    const std::size_t breakAt = bytes.find_last_of("\r\n", end == 0 ? 0 : end - 1);
    return end == 0 || breakAt == std::string_view::npos ? 0 : breakAt + 1;
}

// The number of the line that starts at `start` (CR, LF and CR LF each end a line).
long LineNumber(std::string_view bytes, std::size_t start)
{
    long number = 1;
    for (std::size_t i = 0; i < start; ++i)
        if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n')))
            ++number;
    return number;
}

// A GBK trail byte, which may have the value of an ASCII character.
bool IsGbkTrail(unsigned char byte) { return byte >= 0x40 && byte <= 0xFE && byte != 0x7F; }

constexpr std::size_t kShownChars = 40;

// The start of a line of the file, quoted for a message. What a terminal would
// act on (control bytes, DEL, bytes that start no GBK character) is written as
// \xNN, and the backslash as \\, so that the excerpt shows what the file holds.
std::string Shown(std::string_view line)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "\"";
    std::size_t i = 0;
    for (std::size_t chars = 0; i < line.size() && chars < kShownChars; ++chars) {
        const auto b = static_cast<unsigned char>(line[i]);
        if (IsGbkLead(b) && i + 1 < line.size() && IsGbkTrail(static_cast<unsigned char>(line[i + 1]))) {
            text.append(line.substr(i, 2));
            i += 2;
            continue;
        }
        if (b == '\\')
            text += "\\\\";
        else if (b >= 0x20 && b < 0x7F)
            text += static_cast<char>(b);
        else
            text += {'\\', 'x', kHex[b >> 4], kHex[b & 0xF]};
        ++i;
    }
    return text + (i < line.size() ? "...\"" : "\"");
}

// Where the last line that is "$END" starts, looking from `from` up to `before`.
std::optional<std::size_t> LastEndLine(std::string_view bytes, std::size_t from, std::size_t before)
{
    constexpr std::string_view kEnd = "$END";
    std::size_t at = before;
    while (at > from) {
        at = bytes.rfind(kEnd, at - 1);
        if (at == std::string_view::npos || at < from)
            return std::nullopt;
        const bool startsLine = at == 0 || bytes[at - 1] == '\r' || bytes[at - 1] == '\n';
        if (startsLine && LineAt(bytes, at).text == kEnd)
            return at;
    }
    return std::nullopt;
}

// Decodes each value as the reader meets it and keeps the first defect; the
// reading goes on, so that the whole file tells whether any value decodes.
class CheckedDecoding : public ValueDecoding {
public:
    explicit CheckedDecoding(const KeyMaterial& key) : decoder_(key) {}

    std::string Decode(std::string encoded, const char* where, long line) override
    {
        std::string value;
        ValueDefect defect = decoder_.DecodeValue(encoded, value);
        if (defect == ValueDefect::None && !IsValueText(value))
            defect = ValueDefect::NotText;
        if (defect == ValueDefect::None) {
            decodedAny_ = decodedAny_ || !encoded.empty();
            return value;
        }
        allHeaders_ = allHeaders_ && IsHeaderDefect(defect);
        if (!first_)
            first_ = Problem{where, line, defect};
        return {};
    }

    // Raises the first defect, or other key material when nothing decoded.
    void Check(std::string_view shownName) const
    {
        if (!first_)
            return;
        if (!decodedAny_ && allHeaders_)
            throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "%1 不是用这套密钥材料写的：它的值没有一个能用本程序所带的密钥材料解码"))
                            .Arg(std::string(shownName)));
        // Over the length limit is not damage: another writer's value, or a hostile one.
        Message message(first_->defect == ValueDefect::TooLong ? QT_TRANSLATE_NOOP("Tarnwick", "%1，第 %2 行：%3太长：%4")
                                                               : QT_TRANSLATE_NOOP("Tarnwick", "%1，第 %2 行：%3已损坏：%4"));
        message.Arg(std::string(shownName)).Arg(std::to_string(first_->line)).Phrase(first_->where);
        throw Error(message.Phrase(DefectText(first_->defect)));
    }

private:
    struct Problem {
        const char* where;
        long line;
        ValueDefect defect;
    };
    FieldDecoder decoder_;
    std::optional<Problem> first_;
    bool decodedAny_ = false;
    bool allHeaders_ = true;
};

// Each group is written with all servers of its name, so a name that n groups
// carry has its servers n times over; keep the first of the copies.
void KeepServersOnce(SetupModel& model)
{
    std::unordered_map<std::string, std::size_t> groups;
    for (const ServerGroup& group : model.groups)
        ++groups[group.Name];
    std::unordered_map<std::string, std::vector<std::size_t>> rows;
    for (std::size_t row = 0; row < model.servers.Count(); ++row) {
        const std::string& group = model.servers.At(row).Group;
        if (groups[group] > 1)
            rows[group].push_back(row);
    }
    std::vector<bool> drop(model.servers.Count(), false);
    for (const auto& [name, found] : rows) {
        const std::size_t copies = groups[name];
        const std::size_t each = found.size() / copies;
        bool same = found.size() % copies == 0;
        for (std::size_t i = each; same && i < found.size(); ++i) {
            const ServerEntry& a = model.servers.At(found[i]);
            const ServerEntry& b = model.servers.At(found[i % each]);
            same = a.ShowName == b.ShowName && a.Name == b.Name && a.Addr == b.Addr && a.Port == b.Port;
        }
        // Copies that differ were not written by one model: keep what the file holds.
        if (!same)
            continue;
        for (std::size_t i = each; i < found.size(); ++i)
            drop[found[i]] = true;
    }
    std::size_t row = 0;
    model.servers.RemoveIf([&](const ServerEntry&) { return drop[row++]; });
}

} // namespace

void CheckServerInfoStart(std::string_view head, std::string_view shownName)
{
    // Shown() quotes at most kShownChars characters, so a head this long quotes
    // a long first line as the whole file would.
    static_assert(kServerInfoHeadBytes > 2 * kShownChars);
    struct ByteOrderMark {
        std::string_view bytes;
        const char* encoding;
    };
    // An editor that saved the file as Unicode text put one there.
    static constexpr ByteOrderMark kMarks[] = {
        {"\xEF\xBB\xBF", "UTF-8"}, {"\xFF\xFE", "UTF-16"}, {"\xFE\xFF", "UTF-16"}};
    const std::string name(shownName);
    if (head.empty())
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "%1 是空的：服务器信息文件以“$BEGIN”一行开头")).Arg(name));
    for (const ByteOrderMark& mark : kMarks)
        if (head.starts_with(mark.bytes))
            throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "%1 以 %2 字节顺序标记开头：服务器信息文件是以“$BEGIN”一行开头的 GBK 文字"))
                            .Arg(name)
                            .Arg(mark.encoding));
    const Line first = LineAt(head, 0);
    if (first.text != "$BEGIN")
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "%1，第 1 行：应是“$BEGIN”的地方是 %2：这不是服务器信息文件"))
                        .Arg(name)
                        .Arg(Shown(first.text)));
}

SetupModel ReadServerInfo(std::string_view bytes, std::string_view shownName, const KeyMaterial& key)
{
    static_assert(kMaxServerInfoBytes == 268'435'456, "kServerInfoSizeRule states the limit");
    const std::string name(shownName);
    if (bytes.size() > kMaxServerInfoBytes)
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "%1 有 %2 字节；%3")).Arg(name).Arg(std::to_string(bytes.size())).Phrase(kServerInfoSizeRule));
    CheckServerInfoStart(bytes, shownName);
    const Line first = LineAt(bytes, 0);
    const Line second = LineAt(bytes, first.end);
    if (second.text != kDeclaration)
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "%1，第 2 行：应是声明 %3 的地方是 %2"))
                        .Arg(name)
                        .Arg(Shown(second.text))
                        .Arg(std::string(kDeclaration)));
    const std::size_t lastStart = LastLineStart(bytes);
    if (lastStart < second.end || LineAt(bytes, lastStart).text != "$END") {
        if (const auto end = LastEndLine(bytes, second.end, lastStart)) {
            const std::size_t afterStart = LineAt(bytes, *end).end;
            throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "%1，第 %2 行：“$END”之后还有一行（%3）；服务器信息文件以“$END”一行结束"))
                            .Arg(name)
                            .Arg(std::to_string(LineNumber(bytes, afterStart)))
                            .Arg(Shown(LineAt(bytes, afterStart).text)));
        }
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "%1，第 %2 行：文件结束时没有“$END”一行，它被截短了"))
                        .Arg(name)
                        .Arg(std::to_string(LineNumber(bytes, std::max(lastStart, first.end)))));
    }

    // The parser sees the document at the lines it has in the file: the marker
    // line and the declaration (checked above) stand there as empty lines.
    std::string document = "\n\n";
    document.append(bytes.substr(second.end, lastStart - second.end));

    // An empty address was empty in the model, not the start-up value that
    // loading a working copy keeps for it.
    SetupModel model;
    model.web = {};
    CheckedDecoding decoding(key);
    DocumentReading reading;
    const auto named = [&](const Error& error) {
        return Error(Message("%1: %2").Arg(name).Inner(error.Text()), error.Kind());
    };
    try {
        reading = ReadConfigurationDocument(std::move(document), model, &decoding);
    } catch (const Error& error) {
        throw named(error);
    }
    // A published list is taken whole or not at all.
    if (reading.damage)
        throw named(*reading.damage);
    decoding.Check(name);
    if (reading.failure)
        throw named(*reading.failure);
    KeepServersOnce(model);
    return model;
}

SetupModel AsWritten(const SetupModel& model)
{
    SetupModel written;
    written.web = {};
    const DocumentReading reading = ReadConfigurationDocument(WriteDocumentText(model, false, {}), written);
    if (reading.failure)
        throw *reading.failure;
    KeepServersOnce(written);
    return written;
}

} // namespace tarnwick
