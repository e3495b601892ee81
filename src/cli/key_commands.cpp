#include "cli/commands.h"

#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"
#include "base/user_folders.h"
#include "cli/failures.h"
#include "cli/options.h"
#include "cli/printable.h"
#include "edit/user_keys.h"
#include "sign/key_store.h"
#include "sign/list_signature.h"

#include <nlohmann/json.hpp>

#include <iostream>

namespace tarnwick::cli {
namespace {

const char* const kKeyUsage = "key new | show [--json] | export FILE | import FILE | rotate";

void Say(const Context& context, const Message& message)
{
    std::cout << Printable(context.translation.Sentence(message)) << "\n";
}

Refusal NoKey(const sign::KeyStore& store)
{
    return Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "no signing key (%1 does not exist); \"tarnwick-cli key "
                                                            "new\" makes one"))
                       .Arg(PathText(store.KeyFile())));
}

void ShowKeys(const Context& context, const sign::KeyStore& store, bool json)
{
    const std::optional<sign::SigningKeys> keys = store.Load();
    if (!keys)
        throw NoKey(store);
    const std::string signing = sign::KeyIdOf(keys->signing.publicKey);
    const std::string backup = sign::KeyIdOf(keys->backup.publicKey);
    if (json) {
        nlohmann::json out = {{"signing", signing},
                              {"backup", backup},
                              {"keyFile", GbkToUtf8(PathText(store.KeyFile()))},
                              {"serialFile", GbkToUtf8(PathText(store.SerialFile()))}};
        std::cout << out.dump(2) << "\n";
        return;
    }
    Say(context, Message(QT_TRANSLATE_NOOP("TarnwickCli", "signing key: %1")).Arg(signing));
    Say(context, Message(QT_TRANSLATE_NOOP("TarnwickCli", "backup key:  %1")).Arg(backup));
    Say(context, Message(QT_TRANSLATE_NOOP("TarnwickCli", "key file:    %1")).Arg(PathText(store.KeyFile())));
    Say(context, Message(QT_TRANSLATE_NOOP("TarnwickCli", "serials:     %1")).Arg(PathText(store.SerialFile())));
}

int Key(const Context& context, const Arguments& args)
{
    const Options options(args, {}, {"--json"}, kKeyUsage);
    const auto& operands = options.Operands();
    if (operands.empty())
        options.Usage();
    const std::string& verb = operands[0];
    // The key commands need the folder: where the system names none, say so.
    sign::KeyStore store(SettingsFolder());
    if (verb == "show") {
        options.ExpectOperands(1);
        ShowKeys(context, store, options.Flag("--json"));
        return 0;
    }
    if (verb == "new") {
        options.ExpectOperands(1);
        if (!store.Create())
            throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "a signing key exists already (%1); key new never "
                                                                   "replaces one"))
                              .Arg(PathText(store.KeyFile())));
        Say(context, Message(QT_TRANSLATE_NOOP("TarnwickCli", "made a signing key and a backup key")));
        ShowKeys(context, store, false);
        Say(context, Message(QT_TRANSLATE_NOOP("TarnwickCli", "Now run \"tarnwick-cli key export FILE\" and keep FILE "
                                                              "offline: without the keys,%1lists can no longer be "
                                                              "signed for the launchers made with them."))
                         .Arg("\n"));
        return 0;
    }
    if (verb == "rotate") {
        options.ExpectOperands(1);
        if (!store.Exists())
            throw NoKey(store);
        store.Rotate();
        Say(context, Message(QT_TRANSLATE_NOOP("TarnwickCli", "the backup key signs from now on, which every launcher "
                                                              "made before accepts;%1a new backup key was made: export "
                                                              "the keys again and keep them offline"))
                         .Arg("\n"));
        ShowKeys(context, store, false);
        return 0;
    }
    if (verb != "export" && verb != "import")
        options.Usage();
    options.ExpectOperands(2);
    const std::filesystem::path file = context.In(Utf8Path(operands[1]));
    if (verb == "export") {
        if (!store.Exists())
            throw NoKey(store);
        if (!store.Export(file))
            throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "%1 exists already; nothing written"))
                              .Arg(PathText(file)));
        Say(context, Message(QT_TRANSLATE_NOOP("TarnwickCli", "both key pairs written to %1, unencrypted: keep it "
                                                              "offline (a USB stick in a drawer),%2never on the web "
                                                              "host, and delete other copies"))
                         .Arg(PathText(file))
                         .Arg("\n"));
        return 0;
    }
    switch (store.Import(file)) {
    case sign::ImportOutcome::Imported: Say(context, Message(QT_TRANSLATE_NOOP("TarnwickCli", "keys imported"))); break;
    case sign::ImportOutcome::AlreadyHere:
        Say(context, Message(QT_TRANSLATE_NOOP("TarnwickCli", "these keys are here already")));
        break;
    case sign::ImportOutcome::OtherKeyHere:
        throw Refusal(Message(QT_TRANSLATE_NOOP("TarnwickCli", "other signing keys are here (%1); nothing imported"))
                          .Arg(PathText(store.KeyFile())));
    }
    ShowKeys(context, store, false);
    return 0;
}

} // namespace

std::optional<sign::SigningKeys> UserKeys()
{
    const std::optional<sign::KeyStore> store = edit::UserKeyStore();
    return store ? store->Load() : std::nullopt;
}

std::vector<Command> KeyCommands()
{
    return {
        {"key",
         {{"key new", QT_TRANSLATE_NOOP("TarnwickCli", "make a signing key and a backup key in the user's%1settings "
                                                       "folder (never over existing keys); from then%1on serverinfo "
                                                       "signs ServerInfo.txt and launchers accept%1only lists signed "
                                                       "by them")},
          {"key show [--json]", QT_TRANSLATE_NOOP("TarnwickCli", "the keys' ids and where they are")},
          {"key export FILE", QT_TRANSLATE_NOOP("TarnwickCli", "write both key pairs to FILE, for the backup that "
                                                               "belongs%1offline")},
          {"key import FILE", QT_TRANSLATE_NOOP("TarnwickCli", "take both key pairs from an exported FILE")},
          {"key rotate", QT_TRANSLATE_NOOP("TarnwickCli", "when the signing key was lost or exposed: the backup%1signs "
                                                          "from now on (launchers made before accept it)%1and a new "
                                                          "backup is made")}},
         Key},
    };
}

} // namespace tarnwick::cli
