#include "config/document.h"

#include "config/document_reader.h"
#include "config/document_writer.h"
#include "config/error.h"
#include "config/file_io.h"
#include "config/text.h"
#include "config/xml_parser.h"

#include <system_error>

namespace tarnwick {
namespace {

// The splitter's fixed token buffer of 32,768 bytes: longer lists yield nothing.
constexpr std::size_t kTokenLimit = 32766;

// The parsed tree costs 20 to 35 times the file's size, so a cap on the file is
// a cap on memory. 256 MiB is over ten times a configuration of 100,000 servers.
constexpr std::uintmax_t kMaxDocumentBytes = 256u * 1024 * 1024;

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
    // A larger file is refused before it is read.
    const std::uintmax_t size = std::filesystem::file_size(workingCopy_, ec);
    if (!ec && size > kMaxDocumentBytes)
        throw Error("The document \"" + PathText(workingCopy_) + "\" is " + std::to_string(size) +
                    " bytes long; a document may be at most 268,435,456 bytes (256 MiB)");
    const std::string bytes = ReadFile(workingCopy_);
    xml::Parser parser;
    const xml::DocPtr doc = parser.ParseTree(bytes);
    loaded_ = true;
    if (xmlNodePtr root = xmlDocGetRootElement(doc.get()))
        ReadConfigurationTree(root, bytes, model);
}

std::string ConfigurationDocument::BuildDocument(const SetupModel& model, bool Encode) const
{
    // Keep the top-level comments and processing instructions of the document
    // last loaded. When it can no longer be read or parsed, write anyway, from
    // an empty document, so that the operator's edits are never trapped.
    xml::TopLevelNodes keep;
    if (loaded_) {
        try {
            if (auto nodes = xml::TopLevelNodesOf(ReadFile(workingCopy_)))
                keep = std::move(*nodes);
        } catch (const Error&) {
        }
    }
    return WriteDocumentText(model, Encode, trace_, keep);
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
