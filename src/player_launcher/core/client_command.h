#pragma once

#include <string>
#include <string_view>

// Starting the game client: the stamped command template, the program it
// names and the command line it gets. The program and its folder come from
// the operator's stamp; the fields come from the network, so they fill only
// the arguments and never choose what runs.
namespace tarnwick::player {

enum class ClientCheck {
    Ready,
    NotConfigured,    // the GameClient slot was never stamped
    NoProgram,        // the template names no program
    FieldInProgram,   // a %field% in the program's name: the server list would choose the program
    OutsideFolder,    // an absolute path elsewhere, a root-relative path, or ".."
    NetworkPath,      // \\server\share or \\?\ paths
    DriveRelative,    // "C:game.exe": relative to another drive's current folder
    BadProgramName,   // characters no file name holds, or a stream ("game.exe:x")
    NotAProgram,      // not an .exe: Windows would hand a .bat or .cmd to the command interpreter
    NoConnection,     // the chosen server has no connection entry
    FieldNotAllowed,  // a field's value could change how the arguments are split
};

// The template's parts: the program as written (without quotes) and the rest.
struct ClientTemplate {
    std::u16string program;
    std::u16string arguments;
};
ClientTemplate SplitTemplate(std::u16string_view command);

// The program's path inside `folder` (the launcher's folder, without a
// trailing separator): folder + '\' + the program with '/' as '\' and "."
// dropped. An absolute program passes only when it lies inside the folder
// (compared ignoring the case of ASCII letters).
ClientCheck ResolveProgram(std::u16string_view program, std::u16string_view folder, std::u16string& path);

struct ClientFields {
    std::u16string addr;
    std::u16string port;
    std::u16string name;
    std::u16string group;
};

// The arguments with %addr%, %port%, %name% and %group% filled in, in one
// pass: a value is never read for fields again. FieldNotAllowed when a value
// holds a double quote, a backslash, a control character or U+FFFD (what did
// not convert), or, for the address and the port, a blank.
ClientCheck FillArguments(std::u16string_view arguments, const ClientFields& fields, std::u16string& filled);

// What CreateProcess gets: the program as its application name, and a
// command line that starts with it quoted.
struct ClientLaunch {
    std::u16string application;
    std::u16string commandLine;
};
ClientCheck PrepareLaunch(std::u16string_view command, std::u16string_view folder, const ClientFields& fields,
                          ClientLaunch& launch);

} // namespace tarnwick::player
