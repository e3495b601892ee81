#include "player_launcher/core/client_command.h"
#include "player_launcher/core/player_messages.h"

#include <gtest/gtest.h>

using namespace tarnwick::player;

namespace {

const std::u16string kFolder = u"C:\\Games\\Velmora";

std::string Shown(const std::u16string& text) { return std::string(text.begin(), text.end()); }

} // namespace

TEST(ClientCommand, OnlyAProgramInsideTheLaunchersFolderIsStarted)
{
    struct Row {
        std::u16string program;
        ClientCheck check;
        std::u16string path;
    };
    const Row rows[] = {
        {u"game.exe", ClientCheck::Ready, u"C:\\Games\\Velmora\\game.exe"},
        {u"bin/client.exe", ClientCheck::Ready, u"C:\\Games\\Velmora\\bin\\client.exe"},
        {u".\\bin\\.\\client.exe", ClientCheck::Ready, u"C:\\Games\\Velmora\\bin\\client.exe"},
        {u"客户端\\游戏.exe", ClientCheck::Ready, u"C:\\Games\\Velmora\\客户端\\游戏.exe"},
        {u"c:\\games\\VELMORA\\game.exe", ClientCheck::Ready, u"c:\\games\\VELMORA\\game.exe"},
        {u"", ClientCheck::NoProgram, {}},
        {u".\\", ClientCheck::NoProgram, {}},
        {u"..\\game.exe", ClientCheck::OutsideFolder, {}},
        {u"bin\\..\\..\\game.exe", ClientCheck::OutsideFolder, {}},
        {u"bin/../game.exe", ClientCheck::OutsideFolder, {}},
        {u"C:\\Windows\\System32\\cmd.exe", ClientCheck::OutsideFolder, {}},
        {u"C:\\Games\\VelmoraX\\game.exe", ClientCheck::OutsideFolder, {}},
        {u"C:\\Games\\Velmora\\..\\game.exe", ClientCheck::OutsideFolder, {}},
        {u"C:\\Games\\Velmora", ClientCheck::OutsideFolder, {}},
        {u"\\Windows\\notepad.exe", ClientCheck::OutsideFolder, {}},
        {u"\\\\server\\share\\game.exe", ClientCheck::NetworkPath, {}},
        {u"//server/share/game.exe", ClientCheck::NetworkPath, {}},
        {u"\\\\?\\C:\\Games\\Velmora\\game.exe", ClientCheck::NetworkPath, {}},
        {u"D:game.exe", ClientCheck::DriveRelative, {}},
        {u"C:", ClientCheck::DriveRelative, {}},
        {u"game.exe:stream", ClientCheck::BadProgramName, {}},
        {u"game.exe.", ClientCheck::BadProgramName, {}},
        {u".. \\game.exe", ClientCheck::BadProgramName, {}},
        {u"game?.exe", ClientCheck::BadProgramName, {}},
        {u"game\t.exe", ClientCheck::BadProgramName, {}},
        {u"%addr%.exe", ClientCheck::FieldInProgram, {}},
        // CreateProcess hands these to the command interpreter.
        {u"start.bat", ClientCheck::NotAProgram, {}},
        {u"start.CMD", ClientCheck::NotAProgram, {}},
        {u"bin\\game", ClientCheck::NotAProgram, {}},
        {u".exe", ClientCheck::NotAProgram, {}},
        {u"GAME.EXE", ClientCheck::Ready, u"C:\\Games\\Velmora\\GAME.EXE"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Shown(row.program));
        std::u16string path;
        EXPECT_EQ(ResolveProgram(row.program, kFolder, path), row.check);
        EXPECT_EQ(path, row.path);
    }
}

TEST(ClientCommand, TheProgramIsTheFirstWordOrTheQuotedText)
{
    struct Row {
        std::u16string command;
        std::u16string program;
        std::u16string arguments;
    };
    const Row rows[] = {
        {u"game.exe -s %addr%", u"game.exe", u"-s %addr%"},
        {u"  \"My Game\\game.exe\"   -s %addr%", u"My Game\\game.exe", u"-s %addr%"},
        {u"\"game.exe\"-x", u"game.exe", u"-x"},
        {u"\"unclosed game.exe", u"unclosed game.exe", u""},
        {u"game.exe", u"game.exe", u""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Shown(row.command));
        const ClientTemplate parts = SplitTemplate(row.command);
        EXPECT_EQ(parts.program, row.program);
        EXPECT_EQ(parts.arguments, row.arguments);
    }
}

TEST(ClientCommand, FieldsFillTheArgumentsOnce)
{
    const ClientFields fields{u"10.0.0.1", u"7000", u"电信 一线", u"华东一区"};
    struct Row {
        std::u16string arguments;
        std::u16string filled;
    };
    const Row rows[] = {
        {u"-s %addr% -p %port% \"%name%\" \"%group%\"", u"-s 10.0.0.1 -p 7000 \"电信 一线\" \"华东一区\""},
        {u"%addr%:%port%", u"10.0.0.1:7000"},
        // Unknown fields, case variants and a lone percent sign stay as written.
        {u"%ADDR% %other% 100%", u"%ADDR% %other% 100%"},
        {u"", u""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(Shown(row.arguments));
        std::u16string filled;
        EXPECT_EQ(FillArguments(row.arguments, fields, filled), ClientCheck::Ready);
        EXPECT_EQ(filled, row.filled);
    }
    // A value that looks like a field is not filled in again.
    std::u16string filled;
    EXPECT_EQ(FillArguments(u"%name% %port%", {u"h", u"1", u"%port%", u"g"}, filled), ClientCheck::Ready);
    EXPECT_EQ(filled, u"%port% 1");
}

TEST(ClientCommand, ValuesThatWouldSplitTheArgumentsAreRefused)
{
    struct Row {
        const char* what;
        ClientFields fields;
    };
    const Row rows[] = {
        {"a quote in the name", {u"h", u"1", u"x\" -evil \"", u"g"}},
        {"a backslash before the closing quote", {u"h", u"1", u"x\\", u"g"}},
        {"a line break in the group", {u"h", u"1", u"n", u"g\r\nx"}},
        {"a blank in the address", {u"h -evil", u"1", u"n", u"g"}},
        {"a tab in the port", {u"h", u"1\t2", u"n", u"g"}},
        // What did not convert from the list: the game would get another name.
        {"a replaced character in the name", {u"h", u"1", u"\u534E\uFFFD", u"g"}},
        {"a replaced character in the address", {u"h\uFFFD", u"1", u"n", u"g"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::u16string filled;
        EXPECT_EQ(FillArguments(u"%addr% %port% \"%name%\" \"%group%\"", row.fields, filled),
                  ClientCheck::FieldNotAllowed);
    }
    // Only the fields the template uses are checked.
    std::u16string filled;
    EXPECT_EQ(FillArguments(u"%addr%", {u"h", u"1", u"x\"", u"g"}, filled), ClientCheck::Ready);
}

TEST(ClientCommand, PreparesTheApplicationAndItsCommandLine)
{
    ClientLaunch launch;
    ASSERT_EQ(PrepareLaunch(u"\"bin\\game.exe\" -s %addr% -p %port%", kFolder, {u"10.0.0.1", u"7000", u"n", u"g"}, launch),
              ClientCheck::Ready);
    EXPECT_EQ(launch.application, u"C:\\Games\\Velmora\\bin\\game.exe");
    EXPECT_EQ(launch.commandLine, u"\"C:\\Games\\Velmora\\bin\\game.exe\" -s 10.0.0.1 -p 7000");

    ASSERT_EQ(PrepareLaunch(u"game.exe", kFolder, {}, launch), ClientCheck::Ready);
    EXPECT_EQ(launch.commandLine, u"\"C:\\Games\\Velmora\\game.exe\"");

    EXPECT_EQ(PrepareLaunch(u"  ", kFolder, {}, launch), ClientCheck::NotConfigured);
    EXPECT_EQ(PrepareLaunch(u"cmd.exe /c %name%", u"C:\\Windows\\System32", {}, launch), ClientCheck::Ready)
        << "the folder is the launcher's own; what lies in it is the operator's choice";
    EXPECT_EQ(PrepareLaunch(u"..\\cmd.exe", kFolder, {}, launch), ClientCheck::OutsideFolder);
    for (ClientCheck check : {ClientCheck::NotConfigured, ClientCheck::OutsideFolder, ClientCheck::FieldNotAllowed})
        EXPECT_NE(ClientCheckText(check).find("请"), std::string::npos) << ClientCheckText(check);
    EXPECT_TRUE(ClientCheckText(ClientCheck::Ready).empty());
}
