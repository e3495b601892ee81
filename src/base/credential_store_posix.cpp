#include "base/credential_store.h"

#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"

#include <libsecret/secret.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

// The Secret Service of the desktop's session (GNOME Keyring, KWallet...)
// through libsecret: one item per server and user in the default collection,
// under a schema of Tarnwick's own. The password is stored as the text it was
// given (UTF-8).
namespace tarnwick {
namespace {

constexpr const char* kCannotFind = QT_TRANSLATE_NOOP("Tarnwick", "无法读取保存在系统密钥环中的密码。%1");
constexpr const char* kCannotStore = QT_TRANSLATE_NOOP("Tarnwick", "无法把密码保存到系统的密钥环。%1");
constexpr const char* kCannotForget = QT_TRANSLATE_NOOP("Tarnwick", "无法从系统的密钥环删除密码。%1");

const SecretSchema* Schema()
{
    static const SecretSchema schema = [] {
        SecretSchema made{};
        made.name = "org.tarnwick.Publish";
        made.flags = SECRET_SCHEMA_NONE;
        made.attributes[0] = {"server", SECRET_SCHEMA_ATTRIBUTE_STRING};
        made.attributes[1] = {"user", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return made;
    }();
    return &schema;
}

struct ErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
using OwnedError = std::unique_ptr<GError, ErrorFree>;

// The library's words (UTF-8) as GBK, '?' for what GBK cannot hold.
std::string GbkOf(const char* utf8)
{
    const std::string text = utf8 != nullptr ? utf8 : "";
    if (std::optional<std::string> gbk = TryUtf8ToGbk(text))
        return *gbk;
    std::string ascii;
    for (const char c : text)
        ascii += static_cast<unsigned char>(c) < 0x80 ? c : '?';
    return ascii;
}

Error Failure(const char* pattern, const OwnedError& error)
{
    return Error(Message(pattern).Arg(GbkOf(error ? error->message : nullptr)));
}

// The item's attributes, as D-Bus carries them (UTF-8). Raises Error when the
// key is no GBK text.
struct Attributes {
    std::string server;
    std::string user;
};

Attributes AttributesOf(const CredentialKey& key) { return {GbkToUtf8(key.server), GbkToUtf8(key.user)}; }

std::optional<Attributes> TryAttributesOf(const CredentialKey& key)
{
    try {
        return AttributesOf(key);
    } catch (const Error&) {
        return std::nullopt; // no such item can have been stored
    }
}

// A session bus that GLib would find without starting one: it starts a bus
// of its own (dbus-launch) where an X display is, and none would answer there.
bool HasSessionBus()
{
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address)
        return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code error;
    return runtime && *runtime && std::filesystem::exists(std::filesystem::path(runtime) / "bus", error);
}

class SecretServiceStore final : public CredentialStore {
public:
    bool Available() override
    {
        if (!HasSessionBus())
            return false;
        // The service is started on the bus when one can be; it answers
        // within D-Bus's own timeout or not at all.
        GError* raw = nullptr;
        SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &raw);
        const OwnedError error(raw);
        if (service == nullptr)
            return false;
        // The owner's name is a copy of our own to free.
        gchar* owner = g_dbus_proxy_get_name_owner(G_DBUS_PROXY(service));
        const bool answers = owner != nullptr;
        g_free(owner);
        g_object_unref(service);
        return answers;
    }

    std::optional<std::string> Find(const CredentialKey& key) override
    {
        const std::optional<Attributes> attributes = TryAttributesOf(key);
        if (!attributes || !Available())
            return std::nullopt;
        GError* raw = nullptr;
        gchar* found = secret_password_lookup_sync(Schema(), nullptr, &raw, "server", attributes->server.c_str(),
                                                   "user", attributes->user.c_str(), nullptr);
        const OwnedError error(raw);
        if (error)
            throw Failure(kCannotFind, error);
        if (found == nullptr)
            return std::nullopt;
        std::string password(found);
        secret_password_free(found); // cleared before it is freed
        return password;
    }

    void Store(const CredentialKey& key, const std::string& password) override
    {
        if (!HasSessionBus())
            throw Error(Message(kCannotStore).Arg("No D-Bus session bus"));
        std::optional<Attributes> attributes;
        try {
            attributes = AttributesOf(key);
        } catch (const Error& error) {
            throw Error(Message(kCannotStore).Inner(error.Text()));
        }
        // The label that keyring managers show: the same name as on Windows.
        const std::string label = "tarnwick-publish:" + attributes->server + " " + attributes->user;
        GError* raw = nullptr;
        const gboolean stored =
            secret_password_store_sync(Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), password.c_str(), nullptr,
                                       &raw, "server", attributes->server.c_str(), "user", attributes->user.c_str(),
                                       nullptr);
        const OwnedError error(raw);
        if (!stored || error)
            throw Failure(kCannotStore, error);
    }

    void Forget(const CredentialKey& key) override
    {
        const std::optional<Attributes> attributes = TryAttributesOf(key);
        if (!attributes || !Available())
            return;
        GError* raw = nullptr;
        secret_password_clear_sync(Schema(), nullptr, &raw, "server", attributes->server.c_str(), "user",
                                   attributes->user.c_str(), nullptr);
        const OwnedError error(raw);
        if (error)
            throw Failure(kCannotForget, error);
    }
};

} // namespace

std::unique_ptr<CredentialStore> SystemCredentialStore() { return std::make_unique<SecretServiceStore>(); }

} // namespace tarnwick
