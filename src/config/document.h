#pragma once

#include "base/file_io.h"
#include "config/document_text.h"
#include "config/model.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// (Token, Rest) of the value splitter that breaks a server's lists into connection entries.
struct TokenSplit {
    std::string Token;
    std::string Rest;
};
TokenSplit TakeToken(std::string_view Source, std::string_view Dividers);

// The values of one of a server's lists (names, addresses or ports) as the
// writer takes them apart: split at ";", empty values skipped. Views into
// the list, which must outlive them.
std::vector<std::string_view> ValuesOf(std::string_view list);
// How many there are, without taking them.
std::size_t ValueCount(std::string_view list);

// One way to reach a server: a name, an address and a port.
struct ConnectionEntry {
    std::string Name;
    std::string Addr;
    std::string Port;
    bool operator==(const ConnectionEntry&) const = default;
};

// The same entry as views into the server's lists, which must outlive it.
struct ConnectionEntryView {
    std::string_view Name;
    std::string_view Addr;
    std::string_view Port;
};

// A server's connection entries as the document writes them: the n-th name
// with the n-th address and port, split at ";", up to the first missing name
// or address (a missing port stays empty). Next gives them one at a time
// without copying, for the writer, which meets every server at every save.
class ConnectionEntrySplitter {
public:
    explicit ConnectionEntrySplitter(const ServerEntry& server);
    // The following entry; nothing once the lists are used up, and ever after.
    std::optional<ConnectionEntryView> Next();

private:
    std::string_view names_;
    std::string_view addrs_;
    std::string_view ports_;
};

// All of them, copied out of the server.
std::vector<ConnectionEntry> ConnectionEntriesOf(const ServerEntry& server);

// The configuration document: Tarnwick.xml and the body of ServerInfo.txt.
// Remembers the document last loaded, whose top-level comments and processing
// instructions every later write keeps.
class ConfigurationDocument {
public:
    // workingCopy: the Tarnwick.xml that LoadConfiguration reads.
    explicit ConfigurationDocument(std::filesystem::path workingCopy = "Tarnwick.xml");

    // Fills the model from the working copy; a missing file loads nothing
    // (false). Raises Error, leaving in the model what was read before the
    // failure (see ReadConfigurationDocument).
    bool LoadConfiguration(SetupModel& model);

    // The document bytes for the model; Encode switches value encoding on.
    std::string BuildDocument(const SetupModel& model, bool Encode) const;
    // The same bytes handed to sink in pieces, never held whole.
    void BuildDocument(const SetupModel& model, bool Encode, const std::function<void(std::string_view)>& sink) const;

    // Builds the document and replaces FileName with it atomically; written,
    // when given, is handed the bytes too, piece by piece. Raises Error.
    void WriteConfiguration(const SetupModel& model, const std::filesystem::path& FileName, bool Encode,
                            const std::function<void(std::string_view)>& written = {});

    const std::filesystem::path& WorkingCopy() const { return workingCopy_; }

    // Where the encoder's trace lines go (nowhere by default).
    void SetTraceSink(std::function<void(std::string_view)> sink) { trace_ = std::move(sink); }

private:
    // The top-level nodes that a write keeps: those of the working copy as it
    // is now, taken from the last read of it while it stays as it was then.
    TopLevelNodes NodesToKeep() const;

    std::filesystem::path workingCopy_;
    bool loaded_ = false;
    TopLevelNodes kept_;
    std::optional<FileIdentity> keptFrom_;
    std::function<void(std::string_view)> trace_;
};

// Writes ServerInfo.txt: the encoded document between "$BEGIN" and "$END". Raises Error.
void WriteServerInfo(const ConfigurationDocument& document, const SetupModel& model,
                     const std::filesystem::path& FileName = "ServerInfo.txt");

} // namespace tarnwick
