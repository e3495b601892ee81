#pragma once

#include "base/message.h"
#include "config/model.h"
#include "edit/outcome.h"
#include "edit/working_copy.h"
#include "sign/key_store.h"
#include "ui/logic/operator.h"

#include <filesystem>
#include <optional>

namespace tarnwick::ui {

// What the launcher tab says of signing, and what it offers.
struct SigningStatus {
    Message text;
    bool canCreateKey = false; // a settings folder without a key
    bool canExportKey = false; // a key that loads
};

// The operator's signing keys as the window uses them: whether lists and
// launchers will be signed and with which key, the key's creation and its
// backup. Without a store (the system names no settings folder) nothing is
// signed and no key can be made.
class SigningLogic {
public:
    SigningLogic(Operator& op, std::optional<sign::KeyStore> store) : operator_(op), store_(std::move(store)) {}

    sign::KeyStore* Store() { return store_ ? &*store_ : nullptr; }
    // The keys as they are now. Raises Error for a key file that cannot be used.
    std::optional<sign::SigningKeys> Keys() const;
    // Reads the key file; one that cannot be used is said here, not raised.
    SigningStatus Status() const;

    // Asks first, saying what losing the key means, then makes it.
    void CreateKey();
    // Writes both pairs to a new file the operator names, for the backup
    // that belongs offline.
    void ExportKey();

private:
    void Show(const edit::Notice& notice);

    Operator& operator_;
    std::optional<sign::KeyStore> store_;
};

// The success notice of ServerInfo.txt: signed, with the key's id and every
// update entry that launchers checking signatures will not install.
edit::Notice ServerInfoWrittenNotice(const edit::ServerInfoWritten& written, const SetupModel& model);
// The success notice of a launcher, naming its file, with what it trusts.
edit::Notice LauncherWrittenNotice(const std::filesystem::path& file, const std::optional<sign::SigningKeys>& keys);

} // namespace tarnwick::ui
