#include "publish/publish_job.h"

#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"
#include "config/document_writer.h"
#include "edit/outcome.h"
#include "edit/user_keys.h"
#include "edit/working_copy.h"
#include "publish/credentials.h"
#include "publish/curl_destination.h"
#include "publish/folder_destination.h"
#include "publish/sftp_destination.h"
#include "publish/shown_text.h"

#include <cstdlib>

namespace tarnwick::publish {
namespace {

constexpr int kPasswordAttempts = 3;

std::filesystem::path InFolder(const std::filesystem::path& folder, const std::filesystem::path& path)
{
    return path.is_absolute() ? path : folder / path;
}

// Where the password came from decides what a refusal does: a kept one is
// forgotten and asked again, one from a script's environment is not.
enum class PasswordSource { None, Environment, Netrc, Keyring, Asked };

class PublishRun {
public:
    PublishRun(const PublishRequest& request, PublishFrontEnd& frontEnd, CredentialStore* keyring)
        : request_(request), frontEnd_(frontEnd), keyring_(keyring)
    {
    }

    PublishOutcome Run()
    {
        frontEnd_.StageChanged(PublishStage::Checking);
        const DestinationAddress destination = ParseDestination(request_.settings.destination, request_.settings.explicitTls);
        Plan();
        if (!outcome_.plan.refusals.empty())
            return Finish(PublishStatus::Refused);
        frontEnd_.StageChanged(PublishStage::AskingHost);
        if (!CheckBefore())
            return Finish(outcome_.status);
        frontEnd_.StageChanged(PublishStage::Uploading);
        if (!Upload(destination))
            return Finish(outcome_.status);
        try {
            RememberPublishSettings(request_.folder / kPublishSettingsFileName, request_.settings);
        } catch (const Error& error) {
            // The site is up all the same; only the next publish needs the options again.
            outcome_.notes.push_back(Message(QT_TRANSLATE_NOOP("Tarnwick", "发布设置未能保存：%1")).Inner(error.Text()));
        }
        frontEnd_.StageChanged(PublishStage::Verifying);
        Verify();
        return Finish(outcome_.status);
    }

private:
    PublishOutcome Finish(PublishStatus status)
    {
        outcome_.status = status;
        return std::move(outcome_);
    }

    void Plan()
    {
        edit::WorkingCopy workingCopy(request_.folder);
        SetupModel model;
        workingCopy.Load(model);
        if (!workingCopy.Found())
            throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "文件夹“%1”中没有 Tarnwick.xml"))
                            .Arg(edit::FullPathText(request_.folder)),
                        ErrorKind::NotFound);
        workingCopy.LoadLauncherSettings(model);
        model_ = model;
        PlanInput input;
        input.folder = request_.folder;
        input.model = &model_;
        input.listUrl = request_.settings.listUrl.empty() ? GbkToUtf8(std::string(Trimmed(model.launcher.ServerListUrl)))
                                                          : request_.settings.listUrl;
        if (!request_.settings.site.empty())
            input.site = InFolder(request_.folder, Utf8Path(request_.settings.site));
        input.expectedList = WrapServerInfo(workingCopy.Document().BuildDocument(model, true));
        if (const std::optional<sign::KeyStore> store = edit::UserKeyStore())
            if (const std::optional<sign::SigningKeys> keys = store->Load()) {
                const auto trusted = sign::TrustedPublicKeys(*keys);
                input.trustedKeys = std::vector<crypto::PublicKey>(trusted.begin(), trusted.end());
            }
        const std::string game(Trimmed(model.launcher.GameName));
        input.launcherFile = game.empty() ? std::string() : game + ".exe";
        input.digestCache = request_.folder / "Tarnwick.digests.json";
        listUrl_ = input.listUrl;
        outcome_.plan = PlanSite(input);
    }

    SiteCheckOptions CheckOptions() const
    {
        SiteCheckOptions options;
        options.deep = request_.deep;
        options.trust.caFile = request_.caFile;
        options.progress = [this](std::size_t number, std::size_t count) { return frontEnd_.Checking(number, count); };
        return options;
    }

    // What players fetch that this publish does not upload must be there
    // already: a list naming a missing file is refused before it goes up.
    bool CheckBefore()
    {
        std::vector<const PlayerFetch*> fetches;
        for (const PlayerFetch& fetch : outcome_.plan.fetches)
            if (!fetch.uploaded)
                fetches.push_back(&fetch);
        if (fetches.empty())
            return true;
        const SiteCheckOptions options = CheckOptions();
        outcome_.before = CheckFetches(fetches, {}, options);
        if (outcome_.before.size() < fetches.size()) {
            outcome_.status = PublishStatus::Cancelled;
            return false;
        }
        for (const FetchCheck& check : outcome_.before)
            if (!check.ok) {
                outcome_.status = PublishStatus::Refused;
                return false;
            }
        return true;
    }

    std::unique_ptr<Destination> MakeDestination(const DestinationAddress& address, const Credentials& credentials)
    {
        TrustSettings trust;
        trust.knownHosts = UserKnownHostsFile();
        trust.acceptedFingerprint = request_.acceptedHostKey;
        trust.askUnknownHostKey = [this](const HostKeyQuestion& question) { return frontEnd_.AskAcceptHostKey(question); };
        trust.caFile = request_.caFile;
        switch (address.kind) {
        case DestinationKind::Folder: return MakeFolderDestination(InFolder(request_.folder, address.folder));
        case DestinationKind::Sftp:
            return MakeSftpDestination(SftpAddress{address.address.host, address.address.port, address.address.path},
                                       credentials, trust);
        case DestinationKind::Ftp:
        case DestinationKind::WebDav: return MakeCurlDestination(address, credentials, trust);
        }
        return nullptr;
    }

    std::pair<Credentials, PasswordSource> KnownCredentials(const DestinationAddress& address, const CredentialKey& key)
    {
        Credentials credentials;
        credentials.user = key.user;
        if (!request_.settings.keyFile.empty())
            credentials.keyFile = InFolder(request_.folder, Utf8Path(request_.settings.keyFile));
        if (const char* password = std::getenv(kPasswordVariable); password && *password) {
            credentials.password = password;
            return {credentials, PasswordSource::Environment};
        }
        if (const std::optional<std::filesystem::path> netrc = NetrcFile()) {
            try {
                if (const std::optional<NetrcLogin> login =
                        FindNetrcLogin(ReadFile(*netrc, SizeLimit{1 << 20, "1 MiB"}), address.address.host, key.user)) {
                    if (credentials.user.empty())
                        credentials.user = login->login;
                    credentials.password = login->password;
                    return {credentials, PasswordSource::Netrc};
                }
            } catch (const Error&) {
                // An unreadable .netrc is as none: the other sources remain.
            }
        }
        if (keyring_ && keyring_->Available())
            if (std::optional<std::string> password = keyring_->Find(key)) {
                credentials.password = std::move(*password);
                return {credentials, PasswordSource::Keyring};
            }
        return {credentials, PasswordSource::None};
    }

    static std::string LocalUser()
    {
        for (const char* name : {"USER", "USERNAME", "LOGNAME"})
            if (const char* value = std::getenv(name); value && *value)
                return value;
        return {};
    }

    bool Upload(const DestinationAddress& address)
    {
        CredentialKey key{address.kind == DestinationKind::Folder ? std::string() : ServerName(address.address),
                          address.address.user};
        if (key.user.empty() && address.kind == DestinationKind::Sftp)
            key.user = LocalUser();
        auto [credentials, source] = address.kind == DestinationKind::Folder
                                         ? std::pair<Credentials, PasswordSource>{}
                                         : KnownCredentials(address, key);
        if (!credentials.user.empty())
            key.user = credentials.user;
        // SFTP may need no password (the agent, a key file); the others ask first.
        if (source == PasswordSource::None && (address.kind == DestinationKind::Ftp || address.kind == DestinationKind::WebDav)) {
            credentials.password = frontEnd_.AskPassword(key, false);
            source = credentials.password ? PasswordSource::Asked : PasswordSource::None;
        }
        for (int attempt = 1;; ++attempt) {
            std::unique_ptr<Destination> destination = MakeDestination(address, credentials);
            Publisher publisher(*destination, request_.full);
            outcome_.result = publisher.Run(outcome_.plan, [this](const PublishProgress& progress) {
                return frontEnd_.Uploading(progress);
            });
            const bool refused = outcome_.result.failureKind == TransferFailure::Authentication;
            if (!refused || attempt >= kPasswordAttempts || source == PasswordSource::Environment ||
                source == PasswordSource::Netrc)
                break;
            if (source == PasswordSource::Keyring && keyring_)
                ForgetQuietly(key);
            credentials.password = frontEnd_.AskPassword(key, source != PasswordSource::None);
            if (!credentials.password)
                break;
            source = PasswordSource::Asked;
        }
        if (!outcome_.result.Succeeded()) {
            outcome_.status = outcome_.result.failureKind == TransferFailure::Cancelled ? PublishStatus::Cancelled
                                                                                        : PublishStatus::Failed;
            return false;
        }
        if (source == PasswordSource::Asked && keyring_ && keyring_->Available() && frontEnd_.AskRememberPassword(key)) {
            try {
                keyring_->Store(key, *credentials.password);
            } catch (const Error& error) {
                outcome_.notes.push_back(error.Text());
            }
        }
        return true;
    }

    void ForgetQuietly(const CredentialKey& key)
    {
        try {
            keyring_->Forget(key);
        } catch (const Error&) {
            // Asked again all the same; the new one replaces it.
        }
    }

    void Verify()
    {
        std::vector<const PlayerFetch*> fetches;
        for (const PlayerFetch& fetch : outcome_.plan.fetches)
            fetches.push_back(&fetch);
        // The list and its signature first: they are what players fetch first.
        std::stable_partition(fetches.begin(), fetches.end(), [](const PlayerFetch* fetch) {
            return fetch->role == FileRole::List || fetch->role == FileRole::Signature;
        });
        const auto expected = [this](const PlayerFetch& fetch) -> std::optional<std::string> {
            if (fetch.role != FileRole::List && fetch.role != FileRole::Signature)
                return std::nullopt;
            for (const SiteFile& file : outcome_.plan.files)
                if (file.role == fetch.role)
                    return ReadFile(file.local, SizeLimit{256ull << 20, "256 MiB"});
            return std::nullopt;
        };
        outcome_.after = CheckFetches(fetches, expected, CheckOptions());
        if (outcome_.after.size() < fetches.size()) {
            outcome_.status = PublishStatus::Cancelled;
            return;
        }
        outcome_.status = PublishStatus::Published;
        for (const FetchCheck& check : outcome_.after)
            if (!check.ok)
                outcome_.status = PublishStatus::NotVerified;
    }

    const PublishRequest& request_;
    PublishFrontEnd& frontEnd_;
    CredentialStore* keyring_;
    SetupModel model_;
    std::string listUrl_;
    PublishOutcome outcome_;
};

} // namespace

PublishOutcome RunPublish(const PublishRequest& request, PublishFrontEnd& frontEnd, CredentialStore* keyring)
{
    return PublishRun(request, frontEnd, keyring).Run();
}

} // namespace tarnwick::publish
