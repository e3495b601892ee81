#include "edit/outcome.h"

#include "base/text.h"
#include "base/translatable.h"

namespace tarnwick::edit {
namespace {

// The captions and texts are written in UTF-8 source and shown as GBK, like all core text.
constexpr const char* kInfoCaption = QT_TRANSLATE_NOOP("Tarnwick", "提示信息");   // input, confirmations, successes
constexpr const char* kErrorCaption = QT_TRANSLATE_NOOP("Tarnwick", "错误提示");  // refused moves

Notice Refusal(const char* caption, const char* text)
{
    return {NoticeKind::Refusal, Utf8ToGbk(caption), Message(text)};
}

} // namespace

Notice RefusalNotice(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Done: break;
    case Outcome::GroupNameEmpty: return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "服务器分组内容不能为空!"));
    case Outcome::GroupNameTaken: return Refusal(kErrorCaption, QT_TRANSLATE_NOOP("Tarnwick", "该分组已存在！"));
    case Outcome::NoGroupToDelete: return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "请先选择你要删除的分组信息!"));
    case Outcome::NoGroupToMove:
    case Outcome::NoServerToMove: return Refusal(kErrorCaption, QT_TRANSLATE_NOOP("Tarnwick", "请选择好分组"));
    case Outcome::GroupAtTop:
    case Outcome::ServerAtTop: return Refusal(kErrorCaption, QT_TRANSLATE_NOOP("Tarnwick", "该分组已经在最顶层"));
    case Outcome::GroupAtBottom:
    case Outcome::ServerAtBottom: return Refusal(kErrorCaption, QT_TRANSLATE_NOOP("Tarnwick", "该分组已经在最底层"));
    case Outcome::ShowNameBlank: return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "服务器显示名称不能为空!"));
    case Outcome::ServerNameBlank: return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "服务器名称不能为空!"));
    case Outcome::AddrBlank: return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "服务器地址不能为空!"));
    case Outcome::NoGroupChosen: return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "请选择服务器分组!"));
    case Outcome::ConnectionCountsDiffer:
        return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "服务器名称与服务器地址的个数必须相同：有几条线路，就用分号 ; 隔开写几个名称和几个地址，"
                                                                   "一一对应，例如名称 电信;网通 与地址 10.0.0.1;10.0.0.2"));
    case Outcome::PortCountDiffers:
        return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "每条线路需要一个端口：端口的个数必须与名称、地址的个数相同，用分号 ; 隔开，例如 7000;7000"));
    case Outcome::PortOutOfRange:
        return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "端口必须是 1 到 65535 之间的整数，只写数字，多条线路时用分号 ; 隔开，例如 7000;7100"));
    case Outcome::NoServerToEdit: return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "请先选择你要修改的服务器信息!"));
    case Outcome::NoServerToDelete: return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "请先选择你要删除的服务器信息!"));
    case Outcome::ServerMoveKeepsSavedOrder:
        return Refusal(kErrorCaption, QT_TRANSLATE_NOOP("Tarnwick", "这两台服务器属于不同分组，保存时各分组的服务器分开写入，保存的顺序不会改变"));
    case Outcome::HintBlank: return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "更新提示不能为空!"));
    case Outcome::DownUrlBlank: return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "下载不能为空!"));
    case Outcome::SaveDirBlank: return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "保存位置不能为空!"));
    case Outcome::SaveNameBlank: return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "保存文件名不能为空!"));
    case Outcome::Md5DigestMissing:
        return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "检测模式为MD5值时，文件MD5值必须是32位十六进制数字：在窗口中把文件拖到MD5值计算框里，或在命令行用 --file 给出文件，即可算出并填入。"));
    case Outcome::DownloadCheckInvalid:
        return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "下载效验必须是32位十六进制的MD5值；不效验时写 20050505 或留空。"));
    case Outcome::NoUpdateToEdit: return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "请先选择你要修改的更新信息!"));
    case Outcome::NoUpdateToDelete: return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "请先选择你要删除的更新信息!"));
    case Outcome::WebAddressEmpty:
        return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "网页地址不能为空!（空地址不会被重新载入，发布的将是默认地址）"));
    case Outcome::WebAddressNotWeb:
        return Refusal(kInfoCaption, QT_TRANSLATE_NOOP("Tarnwick", "网页地址必须以 http:// 或 https:// 开头，后接网站名，中间不能有空格，"
                                                                   "例如 http://www.example.com/pay.html（登录器不打开其他地址）"));
    case Outcome::ClientCommandBlank:
        return Refusal(kErrorCaption, QT_TRANSLATE_NOOP("Tarnwick", "游戏客户端命令不能只有空格！不让登录器启动游戏时请清空这一栏。"));
    }
    return {NoticeKind::Success, Utf8ToGbk(kInfoCaption), Message()};
}

Notice DeleteGroupQuestion(const std::string& groupName)
{
    Message text(QT_TRANSLATE_NOOP("Tarnwick", "是否确定删除分组[%1]信息？%2将会同时删除所有该组的服务器列表!"));
    text.Arg(groupName).Arg(kMessageLineBreak);
    return {NoticeKind::Confirmation, Utf8ToGbk(kInfoCaption), text};
}

std::string FullPathText(const std::filesystem::path& file)
{
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(file, error);
    return PathText(error ? file : full.lexically_normal());
}

Message WithWrittenFile(const Message& done, const std::filesystem::path& file)
{
    Message text(QT_TRANSLATE_NOOP("Tarnwick", "%1%2已写入：%3"));
    text.Inner(done).Arg(kMessageLineBreak).Arg(FullPathText(file));
    return text;
}

Notice SavedNotice(const std::filesystem::path& file, const std::optional<std::filesystem::path>& keptCopy)
{
    const Message saved = WithWrittenFile(Message(QT_TRANSLATE_NOOP("Tarnwick", "保存配置成功完成！")), file);
    if (!keptCopy)
        return InfoNotice(NoticeKind::Success, saved);
    Message text(QT_TRANSLATE_NOOP("Tarnwick", "%1%2原来的 Tarnwick.xml 载入时未能完整读取，覆盖前已另存为：%2%3"));
    text.Inner(saved).Arg(kMessageLineBreak).Arg(FullPathText(*keptCopy));
    return InfoNotice(NoticeKind::Success, text);
}

Notice ServerInfoWrittenNotice(const std::filesystem::path& file)
{
    return InfoNotice(NoticeKind::Success,
                      WithWrittenFile(Message(QT_TRANSLATE_NOOP("Tarnwick", "生成配置成功完成！")), file));
}

Notice InfoNotice(NoticeKind kind, Message text) { return {kind, Utf8ToGbk(kInfoCaption), std::move(text)}; }

Notice ErrorNotice(Message text) { return {NoticeKind::Refusal, Utf8ToGbk(kErrorCaption), std::move(text)}; }

Notice RepeatedGroupsNotice(const std::string& namesInBrackets)
{
    Message text(QT_TRANSLATE_NOOP("Tarnwick", "分组%1重名：保存时它的服务器会在每个同名分组下各写一次，"
                                               "再次载入后服务器会成倍增加。%2请删除多余的同名分组。"));
    text.Arg(namesInBrackets).Arg(kMessageLineBreak);
    return {NoticeKind::Success, Utf8ToGbk(kInfoCaption), text};
}

Notice WorkingCopyHeldNotice(const Message& holder)
{
    Message text(QT_TRANSLATE_NOOP("Tarnwick", "Tarnwick.xml 正被另一个程序使用：%1。%2"
                                               "为免覆盖它的修改，本窗口不打开这个文件夹；请关闭那个程序后再试。"));
    text.Inner(holder).Arg(kMessageLineBreak);
    return ErrorNotice(text);
}

Notice DamagedWorkingCopyNotice(const Message& damage)
{
    Message text(QT_TRANSLATE_NOOP("Tarnwick", "Tarnwick.xml 没有完整载入，窗口中是损坏处之前读到的内容：%1%2%1"
                                               "损坏处之后的分组、服务器、网页地址和更新没有载入。第一次保存前，"
                                               "原文件会先另存为 Tarnwick.damaged-日期-时间.xml，不会丢失。"));
    text.Arg(kMessageLineBreak).Inner(damage);
    return ErrorNotice(text);
}

Message ReadOnlyReason(ReadOnlyPlace place, const std::filesystem::path& folder)
{
    if (place == ReadOnlyPlace::Folder)
        return Message(QT_TRANSLATE_NOOP("Tarnwick", "文件夹 %1 是只读的，不能在其中创建或替换文件"))
            .Arg(FullPathText(folder));
    return Message(QT_TRANSLATE_NOOP("Tarnwick", "%1 是只读文件，不会被覆盖"))
        .Arg(FullPathText(folder / "Tarnwick.xml"));
}

Notice ReadOnlyOpenedNotice(ReadOnlyPlace place, const std::filesystem::path& folder)
{
    Message text(QT_TRANSLATE_NOOP("Tarnwick", "%1，所以这里无法保存，Tarnwick.xml 只供查看。%2"
                                               "要修改，请去掉只读属性，或把文件夹复制到可以写入的位置，然后重新打开。"));
    text.Inner(ReadOnlyReason(place, folder)).Arg(kMessageLineBreak);
    return ErrorNotice(text);
}

Notice ReadOnlyRefusal(ReadOnlyPlace place, const std::filesystem::path& folder)
{
    Message text(QT_TRANSLATE_NOOP("Tarnwick", "没有写入任何文件：%1。"));
    text.Inner(ReadOnlyReason(place, folder));
    return ErrorNotice(text);
}

} // namespace tarnwick::edit
