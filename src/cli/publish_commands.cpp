#include "base/console.h"
#include "base/credential_store.h"
#include "base/text.h"
#include "base/translatable.h"
#include "commands.h"
#include "failures.h"
#include "listing.h"
#include "options.h"
#include "printable.h"
#include "digest/block_index.h"
#include "publish/local_index.h"
#include "publish/publish_job.h"
#include "publish/shown_text.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace tarnwick::cli {
namespace {

using namespace tarnwick::publish;
using Clock = std::chrono::steady_clock;

const char* const kPublishUsage =
    "publish [--to DESTINATION] [--list-url URL] [--site FOLDER] [--yes] [--deep] [--full] [--explicit-tls] "
    "[--key FILE] [--accept-host-key SHA256:...] [--ca-file FILE]";

// The terminal's side of a publish: questions on the terminal (never from a
// pipe), progress on one line of standard error, Ctrl+C to cancel.
class TerminalFrontEnd final : public PublishFrontEnd {
public:
    TerminalFrontEnd(const Context& context, bool yes) : context_(context), yes_(yes), terminal_(isatty(STDIN_FILENO) == 1)
    {
    }

    std::optional<std::string> AskPassword(const CredentialKey& key, bool again) override
    {
        if (!terminal_)
            return std::nullopt;
        EndProgressLine();
        Say(again ? Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1 refused the password; password for %2: "))
                        .Arg(Shown(key.server))
                        .Arg(Shown(key.user))
                  : Message(QT_TRANSLATE_NOOP("TarnwickCli", "Password for %2 at %1: ")).Arg(Shown(key.server)).Arg(Shown(key.user)),
            false);
        return ReadHiddenLine();
    }

    bool AskRememberPassword(const CredentialKey&) override
    {
        if (yes_)
            return true;
        if (!terminal_)
            return false;
        return AskYes(Message(QT_TRANSLATE_NOOP("TarnwickCli", "Keep the password in the system's keyring?")));
    }

    bool AskAcceptHostKey(const HostKeyQuestion& question) override
    {
        EndProgressLine();
        Say(Message(QT_TRANSLATE_NOOP("TarnwickCli", "The host %1 is not known; its key's fingerprint is %2."))
                .Arg(Shown(question.host))
                .Arg(question.fingerprint),
            true);
        // Never on --yes: a key is trusted only when a person compared it.
        if (!terminal_) {
            Say(Message(QT_TRANSLATE_NOOP("TarnwickCli", "Standard input is no terminal to ask on: accept the key with "
                                                         "--accept-host-key %1 once you have checked it with the "
                                                         "server's administrator."))
                    .Arg(question.fingerprint),
                true);
            return false;
        }
        return AskYes(Message(QT_TRANSLATE_NOOP("TarnwickCli", "Trust this key and remember it in known_hosts?")));
    }

    void StageChanged(PublishStage stage) override
    {
        EndProgressLine();
        stage_ = stage;
    }

    bool Uploading(const PublishProgress& progress) override
    {
        if (interrupt_.Interrupted())
            return false;
        const Clock::time_point now = Clock::now();
        if (!isatty(STDERR_FILENO) || now - shown_ < std::chrono::milliseconds(200))
            return true;
        shown_ = now;
        std::string line = "[" + std::to_string(progress.fileNumber) + "/" + std::to_string(progress.fileCount) + "] " +
                           SizeText(progress.sent) + " / " + SizeText(progress.total);
        if (progress.bytesPerSecond > 0)
            line += "  " + SizeText(static_cast<std::uint64_t>(progress.bytesPerSecond)) + "/s";
        if (progress.secondsLeft)
            line += "  " + context_.translation.Sentence(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1 left"))
                                                            .Arg(DurationText(*progress.secondsLeft)));
        line += "  " + progress.file;
        if (line.size() > 100)
            line.resize(100);
        std::cerr << "\r" << Printable(line) << "\x1b[K" << std::flush;
        lineOpen_ = true;
        return true;
    }

    bool Checking(std::size_t, std::size_t) override { return !interrupt_.Interrupted(); }

    void EndProgressLine()
    {
        if (lineOpen_)
            std::cerr << "\r\x1b[K" << std::flush;
        lineOpen_ = false;
    }

private:
    void Say(const Message& message, bool lineEnd)
    {
        std::cerr << Printable(context_.translation.Sentence(message)) << (lineEnd ? "\n" : "") << std::flush;
    }

    bool AskYes(const Message& question)
    {
        Say(question, false);
        std::cerr << " [y/N] " << std::flush;
        std::string answer;
        std::getline(std::cin, answer);
        return answer == "y" || answer == "Y" || answer == "yes";
    }

    const Context& context_;
    bool yes_;
    bool terminal_;
    InterruptCatcher interrupt_;
    PublishStage stage_ = PublishStage::Checking;
    Clock::time_point shown_{};
    bool lineOpen_ = false;
};

std::string Word(const Context& context, const char* source) { return context.translation.Text(source); }

void PrintChecks(const Context& context, const std::vector<FetchCheck>& checks)
{
    std::vector<std::vector<std::string>> rows;
    for (const FetchCheck& check : checks)
        rows.push_back({check.ok ? "ok" : Word(context, QT_TRANSLATE_NOOP("TarnwickCli", "WRONG")),
                        Word(context, RoleName(check.fetch->role)), Word(context, CheckKindName(check.kind)),
                        context.translation.Sentence(check.detail), Shown(check.fetch->url)});
    PrintTable(std::cout, context.translation,
               {QT_TRANSLATE_NOOP("TarnwickCli", "Result"), QT_TRANSLATE_NOOP("TarnwickCli", "File"),
                QT_TRANSLATE_NOOP("TarnwickCli", "Check"), QT_TRANSLATE_NOOP("TarnwickCli", "Found"),
                QT_TRANSLATE_NOOP("TarnwickCli", "Address")},
               rows);
}

void PrintUploads(const Context& context, const PublishResult& result)
{
    std::vector<std::vector<std::string>> rows;
    for (const PublishedFile& file : result.files)
        rows.push_back({file.sent ? Word(context, QT_TRANSLATE_NOOP("TarnwickCli", "sent"))
                                  : Word(context, QT_TRANSLATE_NOOP("TarnwickCli", "unchanged")),
                        Word(context, RoleName(file.role)), SizeText(file.size), Shown(file.path)});
    PrintTable(std::cout, context.translation,
               {QT_TRANSLATE_NOOP("TarnwickCli", "Upload"), QT_TRANSLATE_NOOP("TarnwickCli", "File"),
                QT_TRANSLATE_NOOP("TarnwickCli", "Size"), QT_TRANSLATE_NOOP("TarnwickCli", "Path")},
               rows);
}

void SayError(const Context& context, const Message& message)
{
    std::cerr << "tarnwick-cli: " << Printable(context.translation.Sentence(message)) << "\n";
}

int Publish(const Context& context, const Arguments& args)
{
    const Options options(args, {"--to", "--list-url", "--site", "--key", "--accept-host-key", "--ca-file"},
                          {"--yes", "--deep", "--full", "--explicit-tls"}, kPublishUsage);
    options.ExpectOperands(0);
    const std::filesystem::path settingsFile = context.folder / kPublishSettingsFileName;
    PublishRequest request;
    request.folder = context.folder;
    request.settings = ReadPublishSettings(settingsFile).value_or(PublishSettings{});
    if (const auto to = options.Value("--to")) {
        request.settings.destination = *to;
        request.settings.explicitTls = false;
    }
    if (const auto url = options.Value("--list-url"))
        request.settings.listUrl = *url;
    if (const auto site = options.Value("--site"))
        request.settings.site = *site;
    if (const auto key = options.Value("--key"))
        request.settings.keyFile = *key;
    if (options.Flag("--explicit-tls"))
        request.settings.explicitTls = true;
    if (request.settings.destination.empty())
        throw UsageError(Message(QT_TRANSLATE_NOOP("TarnwickCli", "--to: where to publish is not given, and this "
                                                                  "folder has not been published before")));
    request.deep = options.Flag("--deep");
    request.full = options.Flag("--full");
    request.acceptedHostKey = options.Value("--accept-host-key");
    if (const auto ca = options.Value("--ca-file"))
        request.caFile = context.In(Utf8Path(*ca));

    TerminalFrontEnd frontEnd(context, options.Flag("--yes"));
    const std::unique_ptr<CredentialStore> keyring = SystemCredentialStore();
    const PublishOutcome outcome = RunPublish(request, frontEnd, keyring.get());
    frontEnd.EndProgressLine();

    for (const PlanRefusal& refusal : outcome.plan.refusals)
        SayError(context, refusal.reason);
    if (!outcome.before.empty() && outcome.status != PublishStatus::Published && outcome.result.files.empty()) {
        std::cout << Printable(Word(context, QT_TRANSLATE_NOOP("TarnwickCli", "Files this publish does not upload, "
                                                                              "asked of the players' address:")))
                  << "\n";
        PrintChecks(context, outcome.before);
    }
    if (!outcome.result.files.empty())
        PrintUploads(context, outcome.result);
    for (const Message& note : outcome.result.notes)
        SayError(context, note);
    for (const Message& note : outcome.notes)
        SayError(context, note);
    if (!outcome.after.empty()) {
        std::cout << Printable(Word(context, QT_TRANSLATE_NOOP("TarnwickCli", "What players fetch:"))) << "\n";
        PrintChecks(context, outcome.after);
    }
    switch (outcome.status) {
    case PublishStatus::Published:
        std::cout << Printable(context.translation.Sentence(
                         Message(QT_TRANSLATE_NOOP("TarnwickCli", "published: %1 sent, everything players fetch is right"))
                             .Arg(SizeText(outcome.result.bytesSent))))
                  << "\n";
        break;
    case PublishStatus::Refused:
        SayError(context, Message(QT_TRANSLATE_NOOP("TarnwickCli", "nothing was uploaded")));
        break;
    case PublishStatus::Cancelled:
        SayError(context, Message(QT_TRANSLATE_NOOP("TarnwickCli", "cancelled; the site is as players saw it")));
        break;
    case PublishStatus::Failed:
        SayError(context, *outcome.result.failure);
        SayError(context, outcome.result.partlyPlaced
                              ? Message(QT_TRANSLATE_NOOP("TarnwickCli", "the publish stopped while files were put in "
                                                                         "place: publish again to complete it"))
                              : Message(QT_TRANSLATE_NOOP("TarnwickCli", "the site is as players saw it; publish again "
                                                                         "to complete it")));
        break;
    case PublishStatus::NotVerified:
        SayError(context, Message(QT_TRANSLATE_NOOP("TarnwickCli", "uploaded, but not everything players fetch is "
                                                                  "right (see the table)")));
        break;
    }
    std::cout << std::flush;
    return outcome.ExitCode();
}

} // namespace

int IndexUpdateFiles(const Context& context, const Arguments& files)
{
    // As md5 does: a file that cannot be read does not stop the others.
    int status = 0;
    for (const std::string& file : files) {
        try {
            const std::filesystem::path path = context.In(Utf8Path(file));
            RequireRegularFile(path);
            std::error_code error;
            const std::uint64_t size = std::filesystem::file_size(path, error);
            if (const int failure = error.value(); error)
                throw CannotReadFile(std::filesystem::absolute(path, error), failure);
            if (!WantsIndex(size)) {
                std::cout << Printable(context.translation.Sentence(
                                 Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: smaller than %2, which launchers "
                                                                          "download whole: no index written"))
                                     .Arg(Shown(file))
                                     .Arg(SizeText(blocks::kIndexedFromBytes))))
                          << "\n" << std::flush;
                continue;
            }
            const LocalIndex index = WriteIndex(path);
            std::cout << Printable(context.translation.Sentence(
                             Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: %2 blocks of %3 bytes, index of %4 bytes"))
                                 .Arg(Shown(file + blocks::kIndexSuffix))
                                 .Arg(std::to_string(index.blockCount))
                                 .Arg(std::to_string(index.blockSize))
                                 .Arg(std::to_string(index.size))))
                      << "\n" << std::flush;
        } catch (const Error& error) {
            SayError(context, error.Text());
            status = 2;
        }
    }
    if (!std::cout)
        throw Error(Message(QT_TRANSLATE_NOOP("TarnwickCli", "Cannot write to standard output")));
    return status;
}

std::vector<Command> PublishCommands()
{
    return {
        {"publish",
         {{kPublishUsage, QT_TRANSLATE_NOOP("TarnwickCli",
                                 "upload the update files, the launcher, ServerInfo.txt.sig%1and ServerInfo.txt to "
                                 "DESTINATION (sftp://, ftp://,%1ftps://, http(s):// WebDAV, or a folder) under%1"
                                 "temporary names, then put them in place in that%1order; only what changed since the "
                                 "last publish%1is sent (--full: everything). URL: the launcher's%1list address "
                                 "(default: the remembered one); FOLDER:%1the local copy of the site, where each "
                                 "DownUrl%1below the list's folder maps to a file. Refused,%1with nothing uploaded, "
                                 "when ServerInfo.txt or its%1signature is not current, or a file's MD5 differs%1from "
                                 "its entry. Afterwards what players fetch is%1checked over URL (--deep: every "
                                 "digest): status 0%1when all is right, 1 when not, 2 for bad input.%1Passwords: the "
                                 "system's keyring, ~/.netrc, or%1TARNWICK_PUBLISH_PASSWORD; SFTP keys from%1ssh-agent "
                                 "or --key; a new host key is trusted%1when confirmed on the terminal or with%1"
                                 "--accept-host-key. The choices are remembered%1in Tarnwick.publish.json (never a "
                                 "password)")}},
         Publish},
    };
}

} // namespace tarnwick::cli
