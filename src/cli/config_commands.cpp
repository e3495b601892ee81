#include "cli/commands.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "base/translatable.h"
#include "cli/edit_session.h"
#include "cli/failures.h"
#include "cli/options.h"
#include "cli/printable.h"
#include "config/document.h"
#include "config/document_writer.h"
#include "config/field_encoder.h"
#include "config/model_diff.h"
#include "config/server_info_reader.h"
#include "edit/user_keys.h"
#include "sign/list_signature.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <functional>
#include <iostream>
#include <vector>

namespace tarnwick::cli {
namespace {

const char* const kServerInfo = "ServerInfo.txt";

constexpr SizeLimit kServerInfoLimit{kMaxServerInfoBytes, kServerInfoSizeRule};

// Standard input, up to the size limit. It may come from the network and never
// end: it is refused as soon as its first line shows that it is no server
// information file, and reading stops one byte past the limit.
std::string ReadServerInfoStream(std::FILE* in, const std::string& name)
{
    std::string bytes;
    std::vector<char> buffer(65536);
    bool startChecked = false;
    for (;;) {
        const std::size_t want = std::min<std::uint64_t>(buffer.size(), kMaxServerInfoBytes + 1 - bytes.size());
        const std::size_t got = std::fread(buffer.data(), 1, want, in);
        if (std::ferror(in))
            throw Error(
                Message(QT_TRANSLATE_NOOP("TarnwickCli", "Cannot read %1. %2")).Arg(name).Arg(SystemErrorText(errno)));
        // Grown by doubling, but to no more than one byte past the limit, so
        // that the last growth does not copy the limit's worth into twice that.
        if (bytes.size() + got > bytes.capacity()) {
            std::uint64_t grown = std::max<std::uint64_t>(2 * bytes.capacity(), bytes.size() + got);
            bytes.reserve(grown >= kMaxServerInfoBytes ? kMaxServerInfoBytes + 1 : grown);
        }
        bytes.append(buffer.data(), got);
        const bool ended = got < want;
        if (!startChecked && (ended || bytes.size() >= kServerInfoHeadBytes)) {
            CheckServerInfoStart(bytes, name);
            startChecked = true;
        }
        if (bytes.size() > kMaxServerInfoBytes)
            throw Error(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: reading stopped past the limit; %2"))
                            .Arg(name)
                            .Phrase(kServerInfoSizeRule));
        if (ended)
            return bytes;
    }
}

// The bytes of FILE, of standard input for "-"; and the name that messages use.
std::pair<std::string, std::string> ReadServerInfoInput(const Context& context, const Options& options)
{
    if (options.Operands().size() > 1)
        options.Usage();
    const std::string file = options.Operands().empty() ? kServerInfo : options.Operands()[0];
    if (file == "-") {
        // Named in the core's messages about the input, so in the operator's language.
        const std::string name = context.translation.Text(QT_TRANSLATE_NOOP("TarnwickCli", "standard input"));
        return {ReadServerInfoStream(stdin, name), name};
    }
    return {ReadFile(context.In(Utf8Path(file)), kServerInfoLimit), PathText(Utf8Path(file))};
}

void FlushStandardOutput()
{
    if (!std::cout.flush())
        throw Error(Message(QT_TRANSLATE_NOOP("TarnwickCli", "Cannot write to standard output")));
}

// decode and verify end as diff does: 0 done (the same), 1 different, and 2
// for any trouble, which a file that cannot be read or is damaged is.
template <class Body>
int WithTroubleAsTwo(const Context& context, Body body)
{
    try {
        return body();
    } catch (const Error& error) {
        std::cerr << "tarnwick-cli: " << Printable(context.translation.Sentence(error.Text())) << "\n";
        return 2;
    }
}

// A save like any edit's: under the lock, and never over a file that did not load whole.
int Resave(const Context& context, const Arguments& args)
{
    Options(args, {}, {}, "resave").ExpectOperands(0);
    EditSession session(context);
    return session.Finish(edit::Outcome::Done);
}

int ServerInfo(const Context& context, const Arguments& args)
{
    Options(args, {}, {}, "serverinfo").ExpectOperands(0);
    edit::WorkingCopy workingCopy(context.folder);
    const SetupModel model = ReadWholeWorkingCopy(workingCopy, context.translation, "serverinfo");
    std::optional<sign::KeyStore> store = edit::UserKeyStore();
    const edit::ServerInfoWritten written =
        workingCopy.WriteServerInfo(model, store ? &*store : nullptr, static_cast<std::int64_t>(std::time(nullptr)));
    if (!written.keyId)
        return 0;
    std::cout << Printable(context.translation.Sentence(
                     Message(QT_TRANSLATE_NOOP("TarnwickCli", "ServerInfo.txt signed with key %1 (ServerInfo.txt.sig)"))
                         .Arg(*written.keyId)))
              << "\n";
    // Signed launchers will refuse these; the operator hears of it now, not from the players.
    for (std::size_t row : written.unpinned) {
        const UpdateEntry& entry = model.updates.At(row);
        std::cerr << "tarnwick-cli: "
                  << Printable(context.translation.Sentence(
                         Message(QT_TRANSLATE_NOOP("TarnwickCli", "warning: update %1 (%2) pins no digest of its "
                                                                  "download (--down-md5, or --md5 with --check md5 "
                                                                  "when it is no zip; update edit %1 --file FILE fills "
                                                                  "them): launchers that check signatures will not "
                                                                  "install it"))
                             .Arg(std::to_string(row + 1))
                             .Arg(entry.Hint.empty() ? entry.SaveName : entry.Hint)))
                  << "\n";
    }
    return 0;
}

// The value is every byte of standard input, taken as it is (no line handling).
int Encode(const Context&, const Arguments& args)
{
    const Options options(args, {}, {"--trace"}, "encode [--trace]");
    options.ExpectOperands(0);
    // One byte past the limit is enough to refuse; the rest is never read, so
    // an endless input cannot exhaust memory.
    std::string value(FieldEncoder::kMaxValueBytes + 1, '\0');
    value.resize(std::fread(value.data(), 1, value.size(), stdin));
    if (std::ferror(stdin))
        throw Error(
            Message(QT_TRANSLATE_NOOP("TarnwickCli", "Cannot read standard input. %1")).Arg(SystemErrorText(errno)));
    if (value.size() > FieldEncoder::kMaxValueBytes)
        throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "standard input: more than 10,240 bytes; a value may "
                                                               "hold at most 10,240 bytes")));
    FieldEncoder::TraceSink sink;
    if (options.Flag("--trace"))
        sink = [](std::string_view line) { std::cerr << line << '\n'; };
    FieldEncoder encoder(BuiltInKey(), sink);
    std::cout << encoder.EncodeValue(value) << '\n';
    FlushStandardOutput();
    return 0;
}

// Prints the document that the file was written from: redirected, the bytes
// of a working copy (GBK, CR LF), so that it can be saved as Tarnwick.xml; on
// a terminal, readable text.
int Decode(const Context& context, const Arguments& args)
{
    return WithTroubleAsTwo(context, [&] {
        const Options options(args, {}, {}, "decode [FILE|-]");
        const auto [bytes, name] = ReadServerInfoInput(context, options);
        const SetupModel model = ReadServerInfo(bytes, name);
        const std::string document = WriteDocumentText(model, false, {});
        if (isatty(STDOUT_FILENO)) {
            std::string shown = GbkToUtf8(document);
            std::erase(shown, '\r');
            std::cout << shown;
        } else {
            std::cout.write(document.data(), static_cast<std::streamsize>(document.size()));
        }
        FlushStandardOutput();
        return 0;
    });
}

Message DifferenceText(const Difference& d)
{
    switch (d.kind) {
    case Difference::Kind::Added:
        if (d.after.empty())
            return Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: added")).Inner(d.record);
        return Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: added (%2)")).Inner(d.record).Arg(d.after);
    case Difference::Kind::Removed:
        if (d.before.empty())
            return Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: removed")).Inner(d.record);
        return Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: removed (%2)")).Inner(d.record).Arg(d.before);
    case Difference::Kind::Changed:
        if (d.field.empty())
            return Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: changed from \"%2\" to \"%3\""))
                .Inner(d.record)
                .Arg(d.before)
                .Arg(d.after);
        return Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: %2 changed from \"%3\" to \"%4\""))
            .Inner(d.record)
            .Arg(d.field)
            .Arg(d.before)
            .Arg(d.after);
    case Difference::Kind::Moved: return Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1: moved")).Inner(d.record);
    }
    return d.record;
}

// The next byte of a text whose line breaks (CR LF, CR or LF) all read as LF;
// -1 at its end.
int NextByte(std::string_view text, std::size_t& at)
{
    if (at >= text.size())
        return -1;
    const char c = text[at++];
    if (c != '\r')
        return static_cast<unsigned char>(c);
    if (at < text.size() && text[at] == '\n')
        ++at;
    return '\n';
}

// The number of the first line at which the two texts differ, line ends
// aside; 0 when they do not.
long FirstDifferentLine(std::string_view a, std::string_view b)
{
    std::size_t i = 0, j = 0;
    for (long line = 1;;) {
        const int x = NextByte(a, i);
        if (x != NextByte(b, j))
            return line;
        if (x < 0)
            return 0;
        line += x == '\n' ? 1 : 0;
    }
}

// The signature file beside the published list, or the one named; none when
// there is none (standard input has nothing beside it).
std::optional<std::string> SignatureInput(const Context& context, const Options& options)
{
    std::filesystem::path file;
    if (const auto named = options.Value("--signature")) {
        file = context.In(Utf8Path(*named));
    } else {
        const std::string list = options.Operands().empty() ? kServerInfo : options.Operands()[0];
        if (list == "-")
            return std::nullopt;
        file = context.In(Utf8Path(list + std::string(sign::kSignatureSuffix)));
        std::error_code error;
        if (!std::filesystem::exists(file, error))
            return std::nullopt;
    }
    return ReadFile(file, SizeLimit{sign::kMaxSignatureFileBytes, sign::kSignatureSizeRule});
}

// What verify says of the signature; false when launchers with the
// operator's keys would refuse the list.
bool CheckSignature(std::string_view published, const std::optional<std::string>& signature,
                    const std::function<void(const Message&)>& say)
{
    const std::optional<sign::SigningKeys> keys = UserKeys();
    if (!signature) {
        if (keys)
            say(Message(QT_TRANSLATE_NOOP("TarnwickCli", "signature: none; launchers made with your key refuse this "
                                                         "list")));
        return !keys;
    }
    std::vector<crypto::PublicKey> trusted;
    if (keys)
        for (const crypto::PublicKey& key : sign::TrustedPublicKeys(*keys))
            trusted.push_back(key);
    const sign::TrustResult result = sign::CheckSignedList(published, *signature, trusted, 0);
    switch (result.trust) {
    case sign::ListTrust::Accepted:
    case sign::ListTrust::Older:
        say(Message(QT_TRANSLATE_NOOP("TarnwickCli", "signature: good, key %1, serial %2, signed %3"))
                .Arg(result.signature->keyId)
                .Arg(std::to_string(result.signature->serial))
                .Arg(result.signature->time));
        return true;
    case sign::ListTrust::NoSignature: break;
    case sign::ListTrust::OtherKey:
        say(Message(QT_TRANSLATE_NOOP("TarnwickCli", "signature: made with key %1, which is not yours (%2)"))
                .Inner(result.detail)
                .Arg(keys ? sign::KeyIdOf(keys->signing.publicKey) : std::string("-")));
        return false;
    case sign::ListTrust::Damaged:
        say(Message(QT_TRANSLATE_NOOP("TarnwickCli", "signature: BAD: %1")).Inner(result.detail));
        return false;
    }
    return false;
}

int Verify(const Context& context, const Arguments& args)
{
    return WithTroubleAsTwo(context, [&] {
        const Options options(args, {"--signature"}, {}, "verify [--signature FILE] [FILE|-]");
        const auto say = [&](const Message& message) {
            std::cout << Printable(context.translation.Sentence(message)) << "\n";
        };
        const auto [published, name] = ReadServerInfoInput(context, options);
        const std::optional<std::string> signature = SignatureInput(context, options);
        const bool signatureHolds = CheckSignature(published, signature, say);
        // Decoding is cheap and tells most differences; only a file that holds
        // the values of now is compared, line ends aside, with the text that
        // serverinfo would write.
        const SetupModel publishedModel = ReadServerInfo(published, name);
        edit::WorkingCopy workingCopy(context.folder);
        const SetupModel model = ReadWholeWorkingCopy(workingCopy, context.translation, "verify");
        const std::vector<Difference> differences = CompareModels(publishedModel, AsWritten(model));
        if (differences.empty() && !signatureHolds) {
            FlushStandardOutput();
            return 1;
        }
        if (differences.empty()) {
            const long line =
                FirstDifferentLine(published, WrapServerInfo(workingCopy.Document().BuildDocument(model, true)));
            if (line == 0)
                say(Message(QT_TRANSLATE_NOOP("TarnwickCli", "up to date")));
            else
                say(Message(QT_TRANSLATE_NOOP("TarnwickCli", "up to date: %1 holds the values that serverinfo writes "
                                                             "now, but its text differs from line %2 (another "
                                                             "writer's layout or compression)"))
                        .Arg(name)
                        .Arg(std::to_string(line)));
            FlushStandardOutput();
            return 0;
        }
        say(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1 differs from what serverinfo writes now from Tarnwick.xml "
                                                     "(published, then now):"))
                .Arg(name));
        for (const Difference& difference : differences)
            std::cout << "  " << Printable(context.translation.Sentence(DifferenceText(difference))) << "\n";
        FlushStandardOutput();
        return 1;
    });
}

} // namespace

std::vector<Command> ConfigCommands()
{
    return {
        {"resave", {{"resave", QT_TRANSLATE_NOOP("TarnwickCli", "load Tarnwick.xml and write it back")}}, Resave},
        {"serverinfo",
         {{"serverinfo", QT_TRANSLATE_NOOP("TarnwickCli", "load Tarnwick.xml and write ServerInfo.txt")}},
         ServerInfo},
        {"encode",
         {{"encode [--trace]", QT_TRANSLATE_NOOP("TarnwickCli", "encode the bytes of standard input (at most "
                                                                "10,240)%1as ServerInfo.txt does")}},
         Encode},
        {"decode",
         {{"decode [FILE|-]",
           QT_TRANSLATE_NOOP("TarnwickCli", "print the document that ServerInfo.txt (or FILE, or%1standard input; at "
                                            "most 256 MiB) was written from,%1checking every value; redirected, the "
                                            "bytes of a%1Tarnwick.xml; status 2 when it cannot be read")}},
         Decode},
        {"verify",
         {{"verify [--signature FILE] [FILE|-]",
           QT_TRANSLATE_NOOP("TarnwickCli", "compare a published ServerInfo.txt (at most 256 MiB)%1with what "
                                            "serverinfo writes now: \"up to date\" and%1status 0, or the differences "
                                            "and status 1; status 2%1when it cannot be read:%1curl -s URL | "
                                            "tarnwick-cli verify -%1and the signature: FILE.sig beside FILE, or the one%1given; status 1 when "
                                            "launchers made with%1your key would refuse the list")}},
         Verify},
    };
}

} // namespace tarnwick::cli
