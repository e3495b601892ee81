#include "config/document.h"

#include "config/document_reader.h"
#include "config/document_writer.h"
#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "base/translatable.h"
#include "config/xml_parser.h"

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
std::pair<std::string_view, std::string_view> SplitToken(std::string_view Source, std::string_view Dividers)
{
    if (Source.size() >= kTokenLimit || Source.empty())
        return {};
    const std::size_t first = Source.find_first_not_of(Dividers);
    if (first == std::string_view::npos)
        return {};
    const std::size_t end = Source.find_first_of(Dividers, first);
    if (end == std::string_view::npos)
        return {Source.substr(first), {}};
    return {Source.substr(first, end - first), Source.substr(end + 1)};
}

} // namespace

TokenSplit TakeToken(std::string_view Source, std::string_view Dividers)
{
    const auto [token, rest] = SplitToken(Source, Dividers);
    return {std::string(token), std::string(rest)};
}

std::size_t ValueCount(std::string_view list)
{
    std::size_t count = 0;
    for (auto split = SplitToken(list, ";"); !split.first.empty(); split = SplitToken(split.second, ";"))
        ++count;
    return count;
}

std::vector<std::string_view> ValuesOf(std::string_view list)
{
    std::vector<std::string_view> values;
    for (auto split = SplitToken(list, ";"); !split.first.empty(); split = SplitToken(split.second, ";"))
        values.push_back(split.first);
    return values;
}

std::vector<ConnectionEntry> ConnectionEntriesOf(const ServerEntry& server)
{
    std::vector<ConnectionEntry> entries;
    TokenSplit n{{}, server.Name};
    TokenSplit a{{}, server.Addr};
    TokenSplit p{{}, server.Port};
    for (;;) {
        // All three are taken before the test, so a missing port empties the next ones.
        n = TakeToken(n.Rest, ";");
        a = TakeToken(a.Rest, ";");
        p = TakeToken(p.Rest, ";");
        if (n.Token.empty() || a.Token.empty())
            return entries;
        entries.push_back({std::move(n.Token), std::move(a.Token), std::move(p.Token)});
    }
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
                                               bool Encode)
{
    const TopLevelNodes keep = NodesToKeep();
    ReplaceFile(FileName, WriteDocumentText(model, Encode, trace_, keep));
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
