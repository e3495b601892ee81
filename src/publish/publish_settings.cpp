#include "publish/publish_settings.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "base/translatable.h"
#include "edit/outcome.h"
#include "publish/shown_text.h"

#include <nlohmann/json.hpp>

namespace tarnwick::publish {
namespace {

using Json = nlohmann::ordered_json;

constexpr SizeLimit kSettingsLimit{64 * 1024, QT_TRANSLATE_NOOP("Tarnwick", "发布设置文件最多可有 65,536 字节")};

} // namespace

DestinationAddress ParseDestination(const std::string& text, bool explicitTls)
{
    if (text.empty())
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "没有给出发布的目标")));
    DestinationAddress destination;
    const std::size_t scheme = text.find("://");
    if (scheme == std::string::npos) {
        destination.folder = Utf8Path(text);
        return destination;
    }
    const std::optional<WebAddress> address = ParseAddress(text);
    if (!address)
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "“%1”不是可用的地址")).Arg(Shown(text)));
    if (address->hasPassword)
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "“%1”含有密码：密码不能写在地址中，请使用系统的密钥环、~/.netrc "
                                                          "或环境变量 TARNWICK_PUBLISH_PASSWORD"))
                        .Arg(address->scheme + "://" + address->host));
    destination.address = *address;
    if (destination.address.path.empty() || destination.address.path.back() != '/')
        destination.address.path += '/';
    if (address->scheme == "sftp") {
        destination.kind = DestinationKind::Sftp;
    } else if (address->scheme == "ftp" || address->scheme == "ftps") {
        destination.kind = DestinationKind::Ftp;
        destination.tls = address->scheme == "ftps" || explicitTls;
    } else if (address->scheme == "http" || address->scheme == "https") {
        destination.kind = DestinationKind::WebDav;
        destination.tls = address->scheme == "https";
    } else {
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "不能发布到“%1”：只支持 sftp://、ftp://、ftps://、"
                                                          "http(s)://（WebDAV）和本地文件夹"))
                        .Arg(address->scheme + "://"));
    }
    return destination;
}

std::string PublishSettingsText(const PublishSettings& settings)
{
    Json json = Json::object();
    json["Destination"] = settings.destination;
    json["ListUrl"] = settings.listUrl;
    json["Site"] = settings.site;
    json["ExplicitTls"] = settings.explicitTls;
    json["KeyFile"] = settings.keyFile;
    return json.dump(4, ' ', false, Json::error_handler_t::replace) + "\n";
}

PublishSettings ParsePublishSettings(const std::string& text)
{
    const Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "它不是发布设置（应为 JSON 对象）")));
    PublishSettings settings;
    const auto text_field = [&](const char* name, std::string& into) {
        const auto found = json.find(name);
        if (found == json.end())
            return;
        if (!found->is_string())
            throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "“%1”不是文本")).Arg(name));
        into = found->get<std::string>();
    };
    text_field("Destination", settings.destination);
    text_field("ListUrl", settings.listUrl);
    text_field("Site", settings.site);
    text_field("KeyFile", settings.keyFile);
    if (const auto found = json.find("ExplicitTls"); found != json.end()) {
        if (!found->is_boolean())
            throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "“%1”不是 true 或 false")).Arg("ExplicitTls"));
        settings.explicitTls = found->get<bool>();
    }
    return settings;
}

std::optional<PublishSettings> ReadPublishSettings(const std::filesystem::path& file)
{
    std::string text;
    try {
        text = ReadFile(file, kSettingsLimit);
    } catch (const Error& error) {
        if (error.Kind() == ErrorKind::NotFound)
            return std::nullopt;
        throw;
    }
    try {
        return ParsePublishSettings(text);
    } catch (const Error& error) {
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "发布设置文件“%1”无法使用：%2"))
                        .Arg(edit::FullPathText(file))
                        .Inner(error.Text()),
                    ErrorKind::Damaged);
    }
}

void RememberPublishSettings(const std::filesystem::path& file, const PublishSettings& settings)
{
    std::optional<PublishSettings> known;
    try {
        known = ReadPublishSettings(file);
    } catch (const Error&) {
        // A damaged file is replaced by what worked.
    }
    if (known && *known == settings)
        return;
    ReplaceFile(file, PublishSettingsText(settings), Durability::Atomic);
}

} // namespace tarnwick::publish
