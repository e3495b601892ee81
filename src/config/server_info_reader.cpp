#include "config/server_info_reader.h"

#include "base/error.h"
#include "base/text.h"
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

std::string Shown(std::string_view line)
{
    std::string text(FirstGbkChars(line, 40));
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    return "\"" + text + (text.size() < line.size() ? "...\"" : "\"");
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
            throw Error(std::string(shownName) + " was not written with this key material: none of its values "
                                                 "decodes with the key material this program was built with");
        throw Error(std::string(shownName) + ", line " + std::to_string(first_->line) + ": " + first_->where +
                    " is damaged: " + std::string(DefectText(first_->defect)));
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

SetupModel ReadServerInfo(std::string_view bytes, std::string_view shownName, const KeyMaterial& key)
{
    const std::string name(shownName);
    if (bytes.empty())
        throw Error(name + " is empty: a server information file starts with the line \"$BEGIN\"");
    const Line first = LineAt(bytes, 0);
    if (first.text != "$BEGIN")
        throw Error(name + ", line 1: " + Shown(first.text) +
                    " stands where \"$BEGIN\" should: this is not a server information file");
    const Line second = LineAt(bytes, first.end);
    if (second.text != kDeclaration)
        throw Error(name + ", line 2: " + Shown(second.text) + " stands where the declaration " +
                    std::string(kDeclaration) + " should");
    const std::size_t lastStart = LastLineStart(bytes);
    if (lastStart < second.end || LineAt(bytes, lastStart).text != "$END")
        throw Error(name + ", line " + std::to_string(LineNumber(bytes, std::max(lastStart, first.end))) +
                    ": the file ends without the line \"$END\", so it was cut short");

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
    try {
        reading = ReadConfigurationDocument(std::move(document), model, &decoding);
    } catch (const Error& error) {
        throw Error(name + ": " + error.what());
    }
    decoding.Check(name);
    if (reading.failure)
        throw Error(name + ": " + reading.failure->what());
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
