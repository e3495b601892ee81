#include "player_launcher/core/player_messages.h"

#include "player_launcher/core/texts.h"

#include <new>

namespace tarnwick::player {

std::string AdviceFor(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::NoRoom: return "磁盘空间不足：请清理磁盘后重试。";
    case ErrorKind::NoPermission:
        return "没有权限：游戏文件夹或文件是只读的，或被安全软件阻止。请把游戏装在有写入权限的文件夹，或以管理员身份运行登录器。";
    case ErrorKind::InUse: return "文件正被另一个程序使用：请关闭游戏和其他正在使用它的程序后重试。";
    case ErrorKind::NotFound: return "文件或文件夹不存在：请检查游戏是否完整安装。";
    case ErrorKind::Damaged: return "文件已损坏：请删除它后重试。";
    case ErrorKind::Failed: break;
    }
    return "请稍后重试；如果仍然失败，请联系游戏管理员。";
}

std::string FileFailureText(const std::string& action, const std::filesystem::path& path, ErrorKind kind)
{
    return "无法" + action + "“" + ShownPath(path) + "”。" + AdviceFor(kind);
}

std::string FileFailureText(const std::string& action, const std::filesystem::path& path, const std::error_code& error)
{
    return FileFailureText(action, path, KindOfErrorCode(error));
}

std::string FileFailureText(const std::string& action, const std::filesystem::filesystem_error& error)
{
    return FileFailureText(action, error.path1(), error.code());
}

std::string ErrorTextOf(const Error& error) { return ShownUtf8OfGbk(error.what()); }

std::string ExceptionText(const std::exception& error)
{
    if (const auto* ours = dynamic_cast<const Error*>(&error))
        return ErrorTextOf(*ours);
    if (const auto* file = dynamic_cast<const std::filesystem::filesystem_error*>(&error))
        return FileFailureText("访问", *file);
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr)
        return "内存不足：请关闭其他程序后重试。";
    if (const auto* system = dynamic_cast<const std::system_error*>(&error))
        return "登录器出错（错误代码 " + std::to_string(system->code().value()) + "）。" +
               AdviceFor(KindOfErrorCode(system->code()));
    return "登录器内部出错。" + AdviceFor(ErrorKind::Failed);
}

} // namespace tarnwick::player
