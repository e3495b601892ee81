#pragma once

#include "base/notice.h"

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
    NoUpdateToEdit,
    NoUpdateToDelete,
    // Web addresses: an empty one is not read back (the loader keeps its
    // start-up value), so storing it would publish the placeholder later.
    WebAddressEmpty,
};

// The notice that tells the operator an outcome. Texts GBK.
struct Notice {
    NoticeKind kind;
    std::string caption;
    std::string text;
};

// The refusal notice of an outcome other than Done.
Notice RefusalNotice(Outcome outcome);

// The confirmation asked before a group and its servers are deleted.
Notice DeleteGroupQuestion(const std::string& groupName);

// The success notices of the two writes.
Notice SavedNotice();
Notice ServerInfoWrittenNotice();

// Notices under the two captions: "提示信息" for input, confirmations and
// successes, "错误提示" for refused moves and refused launcher generation.
Notice InfoNotice(NoticeKind kind, std::string text);
Notice ErrorNotice(std::string text);

// Told after loading when group names repeat: each such group is written with
// every server of that name, so a save and a load multiply them.
Notice RepeatedGroupsNotice(const std::string& namesInBrackets);

} // namespace tarnwick::edit
