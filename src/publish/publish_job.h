#pragma once

#include "base/credential_store.h"
#include "base/message.h"
#include "publish/destination.h"
#include "publish/publish_settings.h"
#include "publish/publisher.h"
#include "publish/site_check.h"
#include "publish/site_plan.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One publish from end to end, for both front ends: the working folder is
// checked, the host asked about what this publish does not upload, the
// files uploaded, and what players will fetch verified over their address.
namespace tarnwick::publish {

struct PublishRequest {
    std::filesystem::path folder;
    PublishSettings settings;
    bool deep = false; // verify every update file's digest, not only its length
    bool full = false; // send every file, whatever the destination's manifest says
    std::optional<std::string> acceptedHostKey; // SFTP: a fingerprint accepted explicitly
    std::optional<std::filesystem::path> caFile;
};

enum class PublishStage { Checking, AskingHost, Uploading, Verifying };

// The front end's part: questions to the operator and progress.
class PublishFrontEnd {
public:
    virtual ~PublishFrontEnd() = default;
    // The password for the server; none when it cannot be asked (no
    // terminal) or the operator declined. `again`: the last one was refused.
    virtual std::optional<std::string> AskPassword(const CredentialKey& key, bool again) = 0;
    // Whether a password that worked is kept in the system's keyring.
    virtual bool AskRememberPassword(const CredentialKey& key) = 0;
    // An SSH host key not seen before.
    virtual bool AskAcceptHostKey(const HostKeyQuestion& question) = 0;
    virtual void StageChanged(PublishStage stage) = 0;
    // Upload progress; false cancels.
    virtual bool Uploading(const PublishProgress& progress) = 0;
    // Verification progress (number from 1, count); false cancels.
    virtual bool Checking(std::size_t number, std::size_t count) = 0;
};

enum class PublishStatus {
    Published,   // up, and everything players fetch is right
    Refused,     // a check failed before anything went up
    Failed,      // the upload failed (the site is as players saw it unless partly placed)
    Cancelled,
    NotVerified, // up, but something players fetch is not right
};

struct PublishOutcome {
    PublishStatus status = PublishStatus::Failed;
    SitePlan plan;
    std::vector<FetchCheck> before; // files this publish does not upload, asked before
    PublishResult result;
    std::vector<FetchCheck> after;
    std::vector<Message> notes;
    // 0 when players get what they should, 1 when not.
    int ExitCode() const { return status == PublishStatus::Published ? 0 : 1; }
};

// Raises Error for input that cannot be used at all (no Tarnwick.xml, a
// damaged one, an unusable address): the front ends' status 2.
PublishOutcome RunPublish(const PublishRequest& request, PublishFrontEnd& frontEnd, CredentialStore* keyring);

} // namespace tarnwick::publish
