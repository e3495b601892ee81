#include "config/document.h"

#include "config/document_reader.h"
#include "config/document_writer.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "base/translatable.h"
#include "config/xml_parser.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace tarnwick {
namespace {

// The splitter's fixed token buffer of 32,768 bytes: longer lists yield nothing.
constexpr std::size_t kTokenLimit = 32766;

// A load holds the file, its UTF-8 form and the model, some five times the
// file's size at most, so a cap on the file is a cap on memory. 1 GiB is fifty
// times a configuration of 100,000 servers.
constexpr SizeLimit kDocumentLimit{1024u * 1024 * 1024, QT_TRANSLATE_NOOP("Tarnwick", "文档最多可有 1,073,741,824 字节（1 GiB）")};

} // namespace

namespace {

// The splitter's step on views of the source: (token, rest).
template <class IsDivider>
std::pair<std::string_view, std::string_view> SplitToken(std::string_view Source, IsDivider isDivider)
{
    if (Source.size() >= kTokenLimit || Source.empty())
        return {};
    const auto first = std::find_if_not(Source.begin(), Source.end(), isDivider);
    if (first == Source.end())
        return {};
    const auto end = std::find_if(first, Source.end(), isDivider);
    const auto start = static_cast<std::size_t>(first - Source.begin());
    const auto length = static_cast<std::size_t>(end - first);
    if (end == Source.end())
        return {Source.substr(start), {}};
    return {Source.substr(start, length), Source.substr(start + length + 1)};
}

// A server's lists are split at ";" alone. Compared as one character: a
// search for any of a set of dividers calls memchr once per byte, which the
// writer would pay for every byte of every server at every save.
std::pair<std::string_view, std::string_view> SplitValue(std::string_view list)
{
    return SplitToken(list, [](char c) { return c == ';'; });
}

} // namespace

TokenSplit TakeToken(std::string_view Source, std::string_view Dividers)
{
    const auto [token, rest] =
        SplitToken(Source, [Dividers](char c) { return Dividers.find(c) != std::string_view::npos; });
    return {std::string(token), std::string(rest)};
}

std::size_t ValueCount(std::string_view list)
{
    std::size_t count = 0;
    for (auto split = SplitValue(list); !split.first.empty(); split = SplitValue(split.second))
        ++count;
    return count;
}

std::vector<std::string_view> ValuesOf(std::string_view list)
{
    std::vector<std::string_view> values;
    for (auto split = SplitValue(list); !split.first.empty(); split = SplitValue(split.second))
        values.push_back(split.first);
    return values;
}

ConnectionEntrySplitter::ConnectionEntrySplitter(const ServerEntry& server)
    : names_(server.Name), addrs_(server.Addr), ports_(server.Port)
{
}

std::optional<ConnectionEntryView> ConnectionEntrySplitter::Next()
{
    // All three are taken before the test, so a missing port empties the next
    // ones. A missing name or address leaves its rest empty, so the end lasts.
    const auto [name, names] = SplitValue(names_);
    const auto [addr, addrs] = SplitValue(addrs_);
    const auto [port, ports] = SplitValue(ports_);
    names_ = names;
    addrs_ = addrs;
    ports_ = ports;
    if (name.empty() || addr.empty())
        return std::nullopt;
    return ConnectionEntryView{name, addr, port};
}

std::vector<ConnectionEntry> ConnectionEntriesOf(const ServerEntry& server)
{
    std::vector<ConnectionEntry> entries;
    ConnectionEntrySplitter splitter(server);
    while (const auto entry = splitter.Next())
        entries.push_back({std::string(entry->Name), std::string(entry->Addr), std::string(entry->Port)});
    return entries;
}

ConfigurationDocument::ConfigurationDocument(std::filesystem::path workingCopy)
    : workingCopy_(std::move(workingCopy))
{
}

bool ConfigurationDocument::LoadConfiguration(SetupModel& model)
{
    std::error_code ec;
    if (!std::filesystem::exists(workingCopy_, ec))
        return false;
    const auto before = IdentityOf(workingCopy_);
    DocumentReading reading = ReadConfigurationDocument(ReadFile(workingCopy_, kDocumentLimit), model);
    loaded_ = true;
    kept_ = reading.topLevel.value_or(TopLevelNodes{});
    keptFrom_.reset();
    if (before && before == IdentityOf(workingCopy_))
        keptFrom_ = before;
    if (reading.failure)
        throw std::move(*reading.failure);
    return true;
}

std::string ConfigurationDocument::BuildDocument(const SetupModel& model, bool Encode) const
{
    return WriteDocumentText(model, Encode, trace_, NodesToKeep());
}

void ConfigurationDocument::BuildDocument(const SetupModel& model, bool Encode,
                                          const std::function<void(std::string_view)>& sink) const
{
    WriteDocumentPieces(model, Encode, trace_, NodesToKeep(), sink);
}

TopLevelNodes ConfigurationDocument::NodesToKeep() const
{
    // Keep the top-level comments and processing instructions of the document
    // last loaded. When it can no longer be read or parsed, write anyway, from
    // an empty document, so that the operator's edits are never trapped.
    if (!loaded_)
        return {};
    if (keptFrom_ && keptFrom_ == IdentityOf(workingCopy_))
        return kept_;
    try {
        return xml::TopLevelNodesOf(ReadFile(workingCopy_, kDocumentLimit)).value_or(TopLevelNodes{});
    } catch (const Error&) {
        return {};
    }
}

void ConfigurationDocument::WriteConfiguration(const SetupModel& model, const std::filesystem::path& FileName,
                                               bool Encode, const std::function<void(std::string_view)>& written)
{
    const TopLevelNodes keep = NodesToKeep();
    // Written as it is built, so that the document is never held whole. A
    // value it cannot hold ends the write before the file is replaced.
    PendingFile file(FileName);
    WriteDocumentPieces(model, Encode, trace_, keep, [&](std::string_view piece) {
        file.Write(piece);
        if (written)
            written(piece);
    });
    file.Commit();
    // The working copy now holds these nodes; a later write need not read it again.
    std::error_code ec;
    if (loaded_ && std::filesystem::equivalent(FileName, workingCopy_, ec)) {
        kept_ = keep;
        keptFrom_ = IdentityOf(workingCopy_);
    }
}

void WriteServerInfo(const ConfigurationDocument& document, const SetupModel& model,
                     const std::filesystem::path& FileName)
{
    ReplaceFile(FileName, WrapServerInfo(document.BuildDocument(model, true)));
}

} // namespace tarnwick
