#include "publish/site_plan.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "base/translatable.h"
#include "config/update_rules.h"
#include "digest/block_index.h"
#include "digest/md5.h"
#include "edit/outcome.h"
#include "publish/digest_cache.h"
#include "publish/local_index.h"
#include "publish/shown_text.h"
#include "sign/list_signature.h"

#include <algorithm>
#include <map>

namespace tarnwick::publish {
namespace {

constexpr SizeLimit kListLimit{256ull * 1024 * 1024, QT_TRANSLATE_NOOP("Tarnwick", "服务器信息文件最多可有 256 MiB")};

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

std::string EntryName(const UpdateEntry& entry)
{
    return entry.Hint.empty() ? entry.SaveName : entry.Hint;
}

// The address as UTF-8: the document's text is GBK, and players' HTTP
// libraries send a non-ASCII address in UTF-8.
std::optional<std::string> Utf8Address(const std::string& gbk)
{
    return TryGbkToUtf8(std::string(Trimmed(gbk)));
}

class Planner {
public:
    explicit Planner(const PlanInput& input) : input_(input) {}

    SitePlan Run()
    {
        const std::optional<ListLocation> list = LocateList(input_.listUrl);
        if (!list)
            throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "列表地址“%1”不可用：它应是 http:// 或 https:// "
                                                              "开头、以文件名结尾的地址，即登录器的列表地址"))
                            .Arg(Shown(input_.listUrl)),
                        ErrorKind::Failed);
        plan_.list = *list;
        PlanUpdates();
        PlanListAndSignature();
        // Indexing reads every large file that changed: not for a publish already refused.
        if (plan_.refusals.empty())
            PlanIndexes();
        std::stable_sort(plan_.files.begin(), plan_.files.end(),
                         [](const SiteFile& a, const SiteFile& b) { return a.role < b.role; });
        // In the entries' order, the list's own last, as the operator reads them.
        std::stable_sort(plan_.refusals.begin(), plan_.refusals.end(), [](const PlanRefusal& a, const PlanRefusal& b) {
            return a.row.value_or(SIZE_MAX) < b.row.value_or(SIZE_MAX);
        });
        return std::move(plan_);
    }

private:
    void Refuse(std::optional<std::size_t> row, Message reason) { plan_.refusals.push_back({row, std::move(reason)}); }

    Message EntryMessage(const char* pattern, std::size_t row) const
    {
        Message message(pattern);
        message.Arg(std::to_string(row + 1)).Arg(EntryName(input_.model->updates.At(row)));
        return message;
    }

    void PlanUpdates()
    {
        const SetupModel& model = *input_.model;
        std::vector<std::filesystem::path> locals;
        for (std::size_t row = 0; row < model.updates.Count(); ++row) {
            const UpdateEntry& entry = model.updates.At(row);
            const std::optional<std::string> url = Utf8Address(entry.DownUrl);
            PlayerFetch fetch;
            fetch.row = row;
            fetch.url = url.value_or("");
            fetch.md5 = DownloadDigest(entry);
            const std::optional<std::string> path = url ? SitePath(plan_.list, *url) : std::nullopt;
            const bool launcher = !input_.launcherFile.empty() && EqualsIgnoringCase(entry.SaveName, input_.launcherFile);
            fetch.role = launcher ? FileRole::Launcher : FileRole::Update;
            if (!url || !ParseAddress(*url)) {
                Refuse(row, EntryMessage(QT_TRANSLATE_NOOP("Tarnwick", "更新 %1（%2）：下载地址“%3”不是可用的地址"), row)
                                .Arg(entry.DownUrl));
                continue;
            }
            if (!path || !input_.site) {
                if (path)
                    plan_.unmapped.push_back(row);
                plan_.fetches.push_back(fetch);
                continue;
            }
            const auto known = byPath_.find(*path);
            if (known != byPath_.end()) {
                plan_.files[known->second].rows.push_back(row);
                if (launcher)
                    plan_.files[known->second].role = FileRole::Launcher;
            } else {
                byPath_[*path] = plan_.files.size();
                SiteFile file;
                file.role = fetch.role;
                file.path = *path;
                file.local = PathBelow(*input_.site, *path);
                file.rows.push_back(row);
                plan_.files.push_back(std::move(file));
                locals.push_back(plan_.files.back().local);
            }
            fetch.uploaded = true;
            plan_.fetches.push_back(fetch);
        }
        DigestCache cache(input_.digestCache);
        const std::vector<std::optional<std::string>> digests = cache.Digests(locals);
        cache.Save();
        for (std::size_t i = 0; i < plan_.files.size(); ++i) {
            SiteFile& file = plan_.files[i];
            if (!digests[i]) {
                Refuse(file.rows.front(),
                       EntryMessage(QT_TRANSLATE_NOOP("Tarnwick", "更新 %1（%2）：网站文件夹中没有它要下载的文件“%3”"),
                                    file.rows.front())
                           .Arg(edit::FullPathText(file.local)));
                continue;
            }
            file.md5 = *digests[i];
            std::error_code error;
            file.size = std::filesystem::file_size(file.local, error);
            for (std::size_t row : file.rows)
                CheckDigests(row, file);
        }
        for (PlayerFetch& fetch : plan_.fetches) {
            if (!fetch.uploaded)
                continue;
            const std::optional<std::string> path = SitePath(plan_.list, fetch.url);
            const auto found = byPath_.find(*path);
            if (!plan_.files[found->second].md5.empty()) {
                fetch.size = plan_.files[found->second].size;
                fetch.md5 = plan_.files[found->second].md5;
            }
        }
    }

    // The file players will download must be the one the entry names: a
    // wrong MD5 makes every launcher download it again on every run, a wrong
    // DownMD5 makes every launcher refuse it.
    void CheckDigests(std::size_t row, const SiteFile& file)
    {
        const UpdateEntry& entry = input_.model->updates.At(row);
        if (const std::optional<std::string> down = DownloadDigest(entry); down && *down != file.md5)
            Refuse(row, EntryMessage(QT_TRANSLATE_NOOP("Tarnwick", "更新 %1（%2）：文件“%3”的 MD5 是 %4，"
                                                                   "与下载效验 %5 不符"),
                                     row)
                            .Arg(edit::FullPathText(file.local))
                            .Arg(file.md5)
                            .Arg(*down));
        const bool zip = entry.Zip == "是";
        if (!zip && CheckKindOf(entry) == CheckKind::Md5) {
            const std::optional<std::string> md5 = AsDigest(entry.MD5);
            if (md5 && *md5 != file.md5)
                Refuse(row, EntryMessage(QT_TRANSLATE_NOOP("Tarnwick", "更新 %1（%2）：文件“%3”的 MD5 是 %4，与条目的 "
                                                                       "MD5 %5 不符：每个登录器每次都会重新下载它"),
                                         row)
                                .Arg(edit::FullPathText(file.local))
                                .Arg(file.md5)
                                .Arg(*md5));
        }
    }

    // Each large update file gets its block index beside it, kept in the site
    // folder and made again only for another version of the file. Players
    // fetch it at the file's address and the suffix.
    void PlanIndexes()
    {
        const std::size_t count = plan_.files.size();
        for (std::size_t i = 0; i < count; ++i) {
            const SiteFile& file = plan_.files[i];
            const std::string path = file.path + blocks::kIndexSuffix;
            // A file of that name that an entry fetches is not ours to write.
            if (file.role != FileRole::Update || !WantsIndex(file.size) || byPath_.count(path) != 0)
                continue;
            const std::size_t row = file.rows.front();
            LocalIndex index;
            try {
                index = CurrentIndex(file.local, file.size, file.md5);
            } catch (const Error& error) {
                Refuse(row, EntryMessage(QT_TRANSLATE_NOOP("Tarnwick", "更新 %1（%2）：无法生成块索引：%3"), row)
                                .Inner(error.Text()));
                continue;
            }
            SiteFile indexFile{FileRole::Index, path, index.path, index.size, index.md5, file.rows};
            const std::optional<std::string> url = Utf8Address(input_.model->updates.At(row).DownUrl);
            plan_.fetches.push_back({FileRole::Index, *url + blocks::kIndexSuffix, row, index.size, index.md5, true});
            plan_.files.push_back(std::move(indexFile));
        }
    }

    void PlanListAndSignature()
    {
        const std::filesystem::path listFile = input_.folder / "ServerInfo.txt";
        std::string list;
        try {
            list = ReadFile(listFile, kListLimit);
        } catch (const Error& error) {
            if (error.Kind() != ErrorKind::NotFound)
                throw;
            Refuse(std::nullopt, Message(QT_TRANSLATE_NOOP("Tarnwick", "还没有生成 ServerInfo.txt（“%1”）"))
                                     .Arg(edit::FullPathText(listFile)));
            return;
        }
        if (list != input_.expectedList)
            Refuse(std::nullopt, Message(QT_TRANSLATE_NOOP("Tarnwick", "ServerInfo.txt 不是按 Tarnwick.xml 现在的内容生成的："
                                                                       "请先生成配置文件")));
        const std::string& name = plan_.list.fileName;
        const std::filesystem::path signatureFile = input_.folder / "ServerInfo.txt.sig";
        std::optional<std::string> signature;
        try {
            signature = ReadFile(signatureFile, SizeLimit{sign::kMaxSignatureFileBytes, sign::kSignatureSizeRule});
        } catch (const Error& error) {
            if (error.Kind() != ErrorKind::NotFound)
                throw;
        }
        if (input_.trustedKeys) {
            const sign::TrustResult trust = sign::CheckSignedList(list, signature, *input_.trustedKeys, 0);
            if (trust.trust == sign::ListTrust::NoSignature)
                Refuse(std::nullopt, Message(QT_TRANSLATE_NOOP("Tarnwick", "没有 ServerInfo.txt.sig：用你的密钥生成的登录器"
                                                                           "不会接受这个列表；请重新生成配置文件")));
            else if (trust.trust == sign::ListTrust::OtherKey)
                Refuse(std::nullopt, Message(QT_TRANSLATE_NOOP("Tarnwick", "ServerInfo.txt.sig 是用另一个密钥签名的（%1）："
                                                                           "请重新生成配置文件"))
                                         .Inner(trust.detail));
            else if (trust.trust == sign::ListTrust::Damaged)
                Refuse(std::nullopt, Message(QT_TRANSLATE_NOOP("Tarnwick", "ServerInfo.txt.sig 与 ServerInfo.txt 不符（%1）："
                                                                           "请重新生成配置文件"))
                                         .Inner(trust.detail));
        }
        if (signature) {
            SiteFile file{FileRole::Signature, name + std::string(sign::kSignatureSuffix), signatureFile,
                          signature->size(), Md5Hex(*signature), {}};
            plan_.fetches.push_back({FileRole::Signature, AddressBelow(plan_.list.folder, file.path), std::nullopt,
                                     file.size, file.md5, true});
            plan_.files.push_back(std::move(file));
        }
        SiteFile file{FileRole::List, name, listFile, list.size(), Md5Hex(list), {}};
        plan_.fetches.push_back({FileRole::List, AddressBelow(plan_.list.folder, name), std::nullopt, file.size,
                                 file.md5, true});
        plan_.files.push_back(std::move(file));
    }

    const PlanInput& input_;
    SitePlan plan_;
    std::map<std::string, std::size_t> byPath_; // site path -> index in files
};

} // namespace

SitePlan PlanSite(const PlanInput& input)
{
    return Planner(input).Run();
}

const char* RoleName(FileRole role)
{
    switch (role) {
    case FileRole::Update: return QT_TRANSLATE_NOOP("Tarnwick", "更新文件");
    case FileRole::Index: return QT_TRANSLATE_NOOP("Tarnwick", "块索引");
    case FileRole::Launcher: return QT_TRANSLATE_NOOP("Tarnwick", "登录器");
    case FileRole::Signature: return QT_TRANSLATE_NOOP("Tarnwick", "签名");
    case FileRole::List: return QT_TRANSLATE_NOOP("Tarnwick", "服务器列表");
    }
    return "";
}

} // namespace tarnwick::publish
