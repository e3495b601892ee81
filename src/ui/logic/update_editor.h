#pragma once

#include "base/notice.h"
#include "digest/md5.h"
#include "edit/setup_editor.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tarnwick::ui {

enum class UpdateField { Hint, DownUrl, SaveDir, SaveName, CheckType, Md5, DownMd5 };

// The update dialog's fields with their starting values; the dialog is created
// once and keeps them between uses. Texts GBK; choices as indexes, -1 for none.
struct UpdateEditorFields : edit::UpdateInput {
    std::string Caption;
};

// The right half of the check-mode row: which companion field shows there.
struct CheckModeRow {
    static constexpr int kRowTop = 92;

    bool LabelVisible = true;
    std::string LabelCaption; // GBK
    bool VerVisible = true;
    bool DateVisible = false;
    int DateTop = 144;
    bool Md5Visible = false;
    int Md5Top = 134;

    static CheckModeRow Initial();
};

class UpdateEditorLogic {
public:
    UpdateEditorFields Fields;
    CheckModeRow Row = CheckModeRow::Initial();

    // The reaction to a change of the check mode. Hiding never clears a field.
    void ShowCheckMode();

    // The OK button's tests, as for the server dialog.
    std::optional<UpdateField> RefuseIncomplete(Notifier& notifier) const;

    // The MD5 calculator: the digest text of a dropped file (32 "0" characters
    // for a folder or a missing path). Raises Error when the file cannot be opened.
    static std::string DigestText(const std::filesystem::path& fileName, const ProgressCallback& progress);

    // The calculator's digest as the entry's own: a file's digest is kept
    // until its name changes (none for the zeros of a folder or a missing
    // path), and can then pin the entry's download to that file. While the
    // MD5 field is empty, the digest fills it, and the download check too
    // for an entry that is no zip.
    void DigestShown(std::optional<std::string> hex);
    bool CanPinDigest() const { return shownDigest_.has_value(); }
    // DownMD5 from the file, and MD5 too when the entry is no zip.
    void PinShownDigest();

private:
    std::optional<std::string> shownDigest_;
};

} // namespace tarnwick::ui
