#pragma once

#include "base/credential_store.h"
#include "base/message.h"
#include "publish/publish_job.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the publish dialog shows and sends, without its widgets: the fields
// and the folder's remembered choices, the request, the questions, progress
// and the outcome as rows of texts.
namespace tarnwick::ui {

// The dialog's fields. Texts are UTF-8, as the remembered choices keep them.
struct PublishFields {
    std::string destination;
    std::string listUrl; // empty: the launcher's list address
    std::string site;
    bool explicitTls = false;
    std::string keyFile;
    bool deep = false;
    bool full = false;
    bool operator==(const PublishFields&) const = default;
};

// The folder's remembered choices as fields; a file that cannot be used
// gives empty fields and its problem, for the operator to read.
struct RememberedFields {
    PublishFields fields;
    std::optional<Message> problem;
};
RememberedFields ReadRememberedFields(const std::filesystem::path& folder);

// Which of the options the destination's kind uses.
bool UsesExplicitTls(std::string_view destination); // ftp://
bool UsesKeyFile(std::string_view destination);     // sftp://

// Why the fields cannot be published as they are (no destination, an address
// the publish layer refuses), before anything starts.
std::optional<Message> FieldsRefusal(const PublishFields& fields);
// The request for the folder; texts trimmed, options of other kinds dropped.
publish::PublishRequest PublishRequestFor(const std::filesystem::path& folder, const PublishFields& fields);

// The questions the publish asks on the way.
Message PasswordPrompt(const CredentialKey& key, bool again);
Message RememberPasswordQuestion(const CredentialKey& key);
Message HostKeyText(const publish::HostKeyQuestion& question);

using publish::SizeText;
Message StageText(publish::PublishStage stage);
Message UploadProgressText(const publish::PublishProgress& progress);
Message UploadFileText(const publish::PublishProgress& progress);
Message CheckProgressText(std::size_t number, std::size_t count);
// Thousandths done, for a progress bar whose range cannot hold the bytes.
int ProgressPermille(std::uint64_t done, std::uint64_t total);

// The outcome as a table: the refusals, the checks before an upload that did
// not happen, the uploads, the checks of what players fetch, and the notes.
enum class PublishRowKind { Refusal, CheckBefore, Upload, CheckAfter, Note };
inline constexpr std::size_t kPublishColumnCount = 7;
// Step, result, file, size, check, found or why, path or address.
const std::array<const char*, kPublishColumnCount>& PublishColumnCaptions();

struct PublishRow {
    PublishRowKind kind = PublishRowKind::Note;
    bool problem = false; // a refusal, a wrong check, a note: shown as needing attention
    std::array<Message, kPublishColumnCount> cells;
};
std::vector<PublishRow> PublishRows(const publish::PublishOutcome& outcome);

// The status line: what players get now, in words.
struct PublishStatusLine {
    Message text;
    bool good = false;
};
PublishStatusLine StatusLine(const publish::PublishOutcome& outcome);

} // namespace tarnwick::ui
