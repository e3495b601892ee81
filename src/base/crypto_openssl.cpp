#include "base/crypto.h"

#include "base/error.h"
#include "base/translatable.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <memory>

namespace tarnwick::crypto {
namespace {

template <auto Free>
struct Deleter {
    template <class T>
    void operator()(T* p) const { Free(p); }
};
using Pkey = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using PkeyContext = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX_free>>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX_free>>;
using Bignum = std::unique_ptr<BIGNUM, Deleter<BN_free>>;
using EcdsaSignature = std::unique_ptr<ECDSA_SIG, Deleter<ECDSA_SIG_free>>;
using ParamBuilder = std::unique_ptr<OSSL_PARAM_BLD, Deleter<OSSL_PARAM_BLD_free>>;
using Params = std::unique_ptr<OSSL_PARAM, Deleter<OSSL_PARAM_free>>;

void FreeDer(unsigned char* der) { OPENSSL_free(der); }

constexpr char kCurve[] = "prime256v1";

[[noreturn]] void Fail(const char* what)
{
    char reason[256] = "";
    ERR_error_string_n(ERR_get_error(), reason, sizeof reason);
    ERR_clear_error();
    throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "密码库出错（%1）：%2")).Arg(what).Arg(reason));
}

// The uncompressed point as OpenSSL takes it: 0x04, X, Y.
std::array<std::uint8_t, 65> Point(const PublicKey& key)
{
    std::array<std::uint8_t, 65> point{0x04};
    std::copy(key.begin(), key.end(), point.begin() + 1);
    return point;
}

// A key from its parts; none when they are no key of the curve.
Pkey FromParts(const PublicKey& publicKey, const PrivateKey* privateKey)
{
    ParamBuilder builder(OSSL_PARAM_BLD_new());
    const auto point = Point(publicKey);
    Bignum scalar(privateKey ? BN_bin2bn(privateKey->data(), static_cast<int>(privateKey->size()), nullptr) : nullptr);
    if (!builder || (privateKey && !scalar) ||
        !OSSL_PARAM_BLD_push_utf8_string(builder.get(), OSSL_PKEY_PARAM_GROUP_NAME, kCurve, 0) ||
        !OSSL_PARAM_BLD_push_octet_string(builder.get(), OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size()) ||
        (scalar && !OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_PRIV_KEY, scalar.get())))
        Fail("OSSL_PARAM_BLD");
    Params params(OSSL_PARAM_BLD_to_param(builder.get()));
    PkeyContext context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    if (!params || !context || EVP_PKEY_fromdata_init(context.get()) <= 0)
        Fail("EVP_PKEY_fromdata_init");
    EVP_PKEY* key = nullptr;
    const int selection = privateKey ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY;
    if (EVP_PKEY_fromdata(context.get(), &key, selection, params.get()) <= 0) {
        ERR_clear_error();
        return nullptr;
    }
    return Pkey(key);
}

// Whether the key passes the library's own checks: the point lies on the
// curve and, with `pair`, the private key gives that point.
bool Checked(const Pkey& key, bool pair)
{
    if (!key)
        return false;
    PkeyContext context(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
    if (!context)
        Fail("EVP_PKEY_CTX_new_from_pkey");
    const bool valid = (pair ? EVP_PKEY_pairwise_check(context.get()) : EVP_PKEY_public_check(context.get())) == 1;
    ERR_clear_error();
    return valid;
}

} // namespace

struct Sha256Hasher::State {
    DigestContext context{EVP_MD_CTX_new()};
};

Sha256Hasher::Sha256Hasher() : state_(std::make_unique<State>())
{
    if (!state_->context || EVP_DigestInit_ex(state_->context.get(), EVP_sha256(), nullptr) != 1)
        Fail("SHA-256");
}

Sha256Hasher::~Sha256Hasher() = default;

void Sha256Hasher::Update(std::string_view bytes)
{
    if (EVP_DigestUpdate(state_->context.get(), bytes.data(), bytes.size()) != 1)
        Fail("SHA-256");
}

Sha256Digest Sha256Hasher::Finish()
{
    Sha256Digest digest{};
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(state_->context.get(), digest.data(), &size) != 1 || size != digest.size())
        Fail("SHA-256");
    return digest;
}

Sha256Digest Sha256(std::string_view bytes)
{
    Sha256Digest digest{};
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_sha256(), nullptr) != 1 ||
        size != digest.size())
        Fail("SHA-256");
    return digest;
}

KeyPair GenerateKeyPair()
{
    Pkey key(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", kCurve));
    if (!key)
        Fail("EVP_PKEY_Q_keygen");
    KeyPair pair;
    BIGNUM* scalar = nullptr;
    if (EVP_PKEY_get_bn_param(key.get(), OSSL_PKEY_PARAM_PRIV_KEY, &scalar) != 1)
        Fail("EVP_PKEY_get_bn_param");
    const Bignum owned(scalar);
    if (BN_bn2binpad(scalar, pair.privateKey.data(), static_cast<int>(pair.privateKey.size())) < 0)
        Fail("BN_bn2binpad");
    std::array<std::uint8_t, 65> point{};
    std::size_t size = 0;
    if (EVP_PKEY_get_octet_string_param(key.get(), OSSL_PKEY_PARAM_PUB_KEY, point.data(), point.size(), &size) != 1 ||
        size != point.size() || point[0] != 0x04)
        Fail("EVP_PKEY_get_octet_string_param");
    std::copy(point.begin() + 1, point.end(), pair.publicKey.begin());
    return pair;
}

bool IsValidPublicKey(const PublicKey& key) { return Checked(FromParts(key, nullptr), false); }

bool IsValidKeyPair(const KeyPair& pair) { return Checked(FromParts(pair.publicKey, &pair.privateKey), true); }

Signature Sign(const KeyPair& pair, std::string_view message)
{
    const Pkey key = FromParts(pair.publicKey, &pair.privateKey);
    if (!key)
        Fail("EVP_PKEY_fromdata");
    DigestContext context(EVP_MD_CTX_new());
    std::array<unsigned char, 80> der{};
    std::size_t derSize = der.size();
    if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1 ||
        EVP_DigestSign(context.get(), der.data(), &derSize, reinterpret_cast<const unsigned char*>(message.data()),
                       message.size()) != 1)
        Fail("EVP_DigestSign");
    // OpenSSL writes DER; the file holds r and s as CNG does.
    const unsigned char* in = der.data();
    EcdsaSignature parsed(d2i_ECDSA_SIG(nullptr, &in, static_cast<long>(derSize)));
    if (!parsed)
        Fail("d2i_ECDSA_SIG");
    const BIGNUM* r = nullptr;
    const BIGNUM* s = nullptr;
    ECDSA_SIG_get0(parsed.get(), &r, &s);
    Signature signature{};
    if (BN_bn2binpad(r, signature.data(), 32) < 0 || BN_bn2binpad(s, signature.data() + 32, 32) < 0)
        Fail("BN_bn2binpad");
    return signature;
}

bool Verify(const PublicKey& publicKey, std::string_view message, const Signature& signature)
{
    const Pkey key = FromParts(publicKey, nullptr);
    if (!key)
        return false;
    EcdsaSignature parsed(ECDSA_SIG_new());
    Bignum r(BN_bin2bn(signature.data(), 32, nullptr));
    Bignum s(BN_bin2bn(signature.data() + 32, 32, nullptr));
    if (!parsed || !r || !s || ECDSA_SIG_set0(parsed.get(), r.get(), s.get()) != 1)
        Fail("ECDSA_SIG_set0");
    r.release();
    s.release();
    unsigned char* der = nullptr;
    const int derSize = i2d_ECDSA_SIG(parsed.get(), &der);
    if (derSize <= 0)
        Fail("i2d_ECDSA_SIG");
    const std::unique_ptr<unsigned char, Deleter<FreeDer>> ownedDer(der);
    DigestContext context(EVP_MD_CTX_new());
    if (!context || EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1)
        Fail("EVP_DigestVerifyInit");
    const int verified = EVP_DigestVerify(context.get(), der, static_cast<std::size_t>(derSize),
                                          reinterpret_cast<const unsigned char*>(message.data()), message.size());
    ERR_clear_error();
    return verified == 1;
}

} // namespace tarnwick::crypto
