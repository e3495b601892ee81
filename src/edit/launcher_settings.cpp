#include "edit/launcher_settings.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "base/translatable.h"

#include <nlohmann/json.hpp>

#include <array>
#include <utility>

namespace tarnwick::edit {
namespace {

using Json = nlohmann::ordered_json;

// Three short fields; anything larger is no settings file of ours.
constexpr SizeLimit kSettingsLimit{64 * 1024, QT_TRANSLATE_NOOP("Tarnwick", "登录器设置文件最多可有 65,536 字节")};

// The file's names of the fields, in the order written.
struct SettingsField {
    const char* name;
    std::string LauncherSetup::* member;
};
constexpr std::array<SettingsField, 3> kFields = {{
    {"GameName", &LauncherSetup::GameName},
    {"ServerListUrl", &LauncherSetup::ServerListUrl},
    {"GameClient", &LauncherSetup::ClientCommand},
}};

LauncherSetup InitialSetup() { return SetupModel{}.launcher; }

// The values in the text, fields that are missing keeping their initial
// values (a file written by hand need not name them all); fields of other
// names are left alone for later versions. The problem otherwise.
std::pair<LauncherSetup, std::optional<Message>> Parse(const std::string& text)
{
    LauncherSetup setup = InitialSetup();
    const Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return {setup, Message(QT_TRANSLATE_NOOP("Tarnwick", "它不是登录器设置（应为 JSON 对象）"))};
    for (const SettingsField& field : kFields) {
        const auto found = json.find(field.name);
        if (found == json.end())
            continue;
        if (!found->is_string())
            return {InitialSetup(), Message(QT_TRANSLATE_NOOP("Tarnwick", "“%1”不是文本")).Arg(field.name)};
        std::optional<std::string> gbk = TryUtf8ToGbk(found->get_ref<const std::string&>());
        if (!gbk)
            return {InitialSetup(), Message(QT_TRANSLATE_NOOP("Tarnwick", "“%1”含有 GBK 无法表示的字符")).Arg(field.name)};
        setup.*field.member = std::move(*gbk);
    }
    return {setup, std::nullopt};
}

} // namespace

std::string LauncherSettingsText(const LauncherSetup& setup)
{
    Json json = Json::object();
    for (const SettingsField& field : kFields)
        json[field.name] = GbkToUtf8(setup.*field.member);
    return json.dump(4, ' ', false) + "\n";
}

LauncherSettingsRead LauncherSettingsFile::Read()
{
    LauncherSettingsRead read{InitialSetup(), false, std::nullopt};
    known_ = read.setup;
    std::optional<Message> reason;
    try {
        auto [setup, problem] = Parse(ReadFile(file_, kSettingsLimit));
        if (!problem) {
            known_ = setup;
            read.setup = std::move(setup);
            read.remembered = true;
            return read;
        }
        reason = std::move(problem);
    } catch (const Error& error) {
        // The first run in a folder.
        if (error.Kind() == ErrorKind::NotFound)
            return read;
        reason = error.Text();
    }
    read.problem = Message(QT_TRANSLATE_NOOP("Tarnwick", "登录器设置文件“%1”无法使用：%2"))
                       .Arg(FullPathText(file_))
                       .Inner(*reason);
    return read;
}

Notice UnusableSettingsNotice(const Message& problem)
{
    Message text(QT_TRANSLATE_NOOP("Tarnwick", "%1%2登录器页使用初始值；这个文件保持原样，直到登录器设置被改动时才被替换。"));
    text.Inner(problem).Arg(kMessageLineBreak);
    return ErrorNotice(text);
}

Notice SettingsNotRememberedNotice(const Message& reason)
{
    Message text(QT_TRANSLATE_NOOP("Tarnwick", "登录器设置无法保存在工作文件夹中，下次启动时不会被记住：%1"));
    text.Inner(reason);
    return ErrorNotice(text);
}

bool LauncherSettingsFile::Remember(const LauncherSetup& setup)
{
    if (known_ && *known_ == setup)
        return false;
    // Cheap to write again: atomic is enough, a flush per field left would not be.
    ReplaceFile(file_, LauncherSettingsText(setup), Durability::Atomic);
    known_ = setup;
    return true;
}

} // namespace tarnwick::edit
