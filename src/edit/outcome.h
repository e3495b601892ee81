#pragma once

#include "base/notice.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tarnwick::edit {

// How an edit of the model ended. Every refusal keeps its reason, so that the
// window shows its notice and the command line prints the same words.
enum class Outcome {
    Done,
    // Groups
    GroupNameEmpty,
    GroupNameTaken,
    NoGroupToDelete,
    NoGroupToMove,
    GroupAtTop,
    GroupAtBottom,
    // Servers: the server dialog's tests, in the order it makes them
    ShowNameBlank,
    ServerNameBlank,
    AddrBlank,
    NoGroupChosen,
    // Connection entries pair the n-th name, address and port.
    ConnectionCountsDiffer,
    PortCountDiffers,
    PortOutOfRange,
    NoServerToEdit,
    NoServerToDelete,
    NoServerToMove,
    ServerAtTop,
    ServerAtBottom,
    // A move between neighbours of different groups: the list changes, but
    // the saved document, which writes each group's servers together, does not.
    ServerMoveKeepsSavedOrder,
    // Update entries: the update dialog's tests, in the order it makes them
    HintBlank,
    DownUrlBlank,
    SaveDirBlank,
    SaveNameBlank,
    // The digests launchers compare with.
    Md5DigestMissing,
    DownloadCheckInvalid,
    NoUpdateToEdit,
    NoUpdateToDelete,
    // Web addresses: an empty one is not read back (the loader keeps its
    // start-up value), so storing it would publish the placeholder later.
    WebAddressEmpty,
    // Launchers open only web pages.
    WebAddressNotWeb,
    // Launchers: a game client's command given, but of blanks only.
    ClientCommandBlank,
};

// The notice that tells the operator an outcome: the caption GBK, the text a
// message for the front end to write in the operator's language.
struct Notice {
    NoticeKind kind;
    std::string caption;
    Message text;
};

// The refusal notice of an outcome other than Done.
Notice RefusalNotice(Outcome outcome);

// The confirmation asked before a group and its servers are deleted.
Notice DeleteGroupQuestion(const std::string& groupName);

// The success notices of the two writes, naming the file written; the save's
// also where the working copy that did not load whole was kept, if it was.
Notice SavedNotice(const std::filesystem::path& file, const std::optional<std::filesystem::path>& keptCopy);
Notice ServerInfoWrittenNotice(const std::filesystem::path& file);
// A success followed by the file it wrote, by its full path, on a line of its
// own, so that the operator knows which folder to publish from.
Message WithWrittenFile(const Message& done, const std::filesystem::path& file);
// A path as the operator finds it: full (a relative one taken from the
// current folder), GBK.
std::string FullPathText(const std::filesystem::path& file);

// Notices under the two captions: "提示信息" for input, confirmations and
// successes, "错误提示" for refused moves and refused launcher generation.
Notice InfoNotice(NoticeKind kind, Message text);
Notice ErrorNotice(Message text);

// Told after loading when group names repeat: each such group is written with
// every server of that name, so a save and a load multiply them.
Notice RepeatedGroupsNotice(const std::string& namesInBrackets);

// Told when another program holds the working copy; `holder` names it.
Notice WorkingCopyHeldNotice(const Message& holder);

// Told after a load that stopped at damage in Tarnwick.xml (`damage` names
// the file, the line and what could not be read): what stood before it is
// shown, and the file is kept before the first save over it.
Notice DamagedWorkingCopyNotice(const Message& damage);

// Where Tarnwick.xml cannot be saved: in a read-only folder (no file can be
// created in it), or over a read-only Tarnwick.xml.
enum class ReadOnlyPlace { Folder, File };

// Why nothing can be saved, naming the folder or the file.
Message ReadOnlyReason(ReadOnlyPlace place, const std::filesystem::path& folder);
// Told when such a working copy opens: it is there for viewing.
Notice ReadOnlyOpenedNotice(ReadOnlyPlace place, const std::filesystem::path& folder);
// Told for a save refused there; nothing was written.
Notice ReadOnlyRefusal(ReadOnlyPlace place, const std::filesystem::path& folder);

// A line break in a message: translation files keep none of their own.
inline constexpr const char* kMessageLineBreak = "\r\n";

} // namespace tarnwick::edit
