#include "sign/hex.h"
#include "sign/list_signature.h"
#include "sign/trusted_keys.h"

#include <gtest/gtest.h>

#include <array>

#include "english_text.h"
#include "under_wine.h"

namespace tarnwick::sign {
namespace {

const crypto::KeyPair& KeyA()
{
    static const crypto::KeyPair key = crypto::GenerateKeyPair();
    return key;
}
const crypto::KeyPair& KeyB()
{
    static const crypto::KeyPair key = crypto::GenerateKeyPair();
    return key;
}

const std::string kList = "$BEGIN\r\n<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<XMLSetup/>\r\n$END\r\n";

std::string SignedFile(const crypto::KeyPair& key = KeyA(), std::uint64_t serial = 1796720000,
                       std::string_view list = kList)
{
    return SignatureFileText(SignList(list, key, serial, SignatureTime(1796720000)));
}

TEST(SignatureFile, ReadsBackWhatItWrites)
{
    const ListSignature written = SignList(kList, KeyA(), 42, SignatureTime(0));
    const std::string text = SignatureFileText(written);
    EXPECT_TRUE(text.starts_with("Tarnwick list signature 1\nlength: " + std::to_string(kList.size()) + "\nsha256: "));
    EXPECT_NE(text.find("\nserial: 42\ntime: 1970-01-01T00:00:00Z\nkey: " + KeyIdOf(KeyA().publicKey) + "\n"),
              std::string::npos);
    EXPECT_EQ(ParseSignatureFile(text).signature, written);
    // A transfer in text mode may have turned the line ends into CR LF.
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(ParseSignatureFile(crlf).signature, written);
    EXPECT_EQ(KeyIdOf(KeyA().publicKey).size(), 16u);
    EXPECT_NE(KeyIdOf(KeyA().publicKey), KeyIdOf(KeyB().publicKey));
}

TEST(SignatureFile, RefusesEveryDefectWithItsReason)
{
    const std::string good = SignedFile();
    const auto replaced = [&](std::string_view from, std::string_view to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const struct {
        std::string text;
        const char* reason;
    } rows[] = {
        {"", "This is no Tarnwick list signature file"},
        {"garbage\n", "This is no Tarnwick list signature file"},
        {good.substr(0, good.size() - 1), "ends in the middle of a line"},
        {good + "extra: 1\n", "number of lines"},
        {good + std::string(5000, '#') + "\n", "too long"},
        {replaced("length: ", "size: "), "line 2 of the signature file should start with \"length\""},
        {replaced("length: ", "length: 0"), "length"},
        {replaced("length: ", "length: -"), "length"},
        {replaced("sha256: ", "sha256: A"), "SHA-256"},
        {replaced("serial: ", "serial: +"), "serial"},
        {replaced("serial: 1796720000", "serial: 99999999999999999999999"), "serial"},
        {replaced("Z\nkey", "z\nkey"), "time"},
        {replaced("key: ", "key: 0"), "key id"},
        {replaced("signature: ", "signature: 00"), "signature"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 80));
        const ParsedSignature parsed = ParseSignatureFile(row.text);
        EXPECT_FALSE(parsed.signature);
        EXPECT_NE(testing::English(parsed.problem).find(row.reason), std::string::npos)
            << testing::English(parsed.problem);
    }
}

TEST(SignedList, IsTakenOnlyFromATrustedKeyOverTheExactBytesAndNeverOlder)
{
    const std::array<crypto::PublicKey, 2> trusted = {KeyA().publicKey, KeyB().publicKey};
    const std::string signature = SignedFile(KeyA(), 500);

    const TrustResult accepted = CheckSignedList(kList, signature, trusted, 0);
    EXPECT_EQ(accepted.trust, ListTrust::Accepted);
    EXPECT_EQ(accepted.signature->serial, 500u);
    // The same list again, and a newer one.
    EXPECT_EQ(CheckSignedList(kList, signature, trusted, 500).trust, ListTrust::Accepted);
    EXPECT_EQ(CheckSignedList(kList, signature, trusted, 501).trust, ListTrust::Older);
    // The backup key's signature is as good.
    EXPECT_EQ(CheckSignedList(kList, SignedFile(KeyB(), 600), trusted, 500).trust, ListTrust::Accepted);

    EXPECT_EQ(CheckSignedList(kList, std::nullopt, trusted, 0).trust, ListTrust::NoSignature);
    const crypto::KeyPair stranger = crypto::GenerateKeyPair();
    const TrustResult other = CheckSignedList(kList, SignedFile(stranger), trusted, 0);
    EXPECT_EQ(other.trust, ListTrust::OtherKey);
    EXPECT_EQ(testing::English(other.detail), KeyIdOf(stranger.publicKey));

    // A list changed on the way, its signature kept; one byte more or less.
    std::string forged = kList;
    forged[10] ^= 0x01;
    const TrustResult changed = CheckSignedList(forged, signature, trusted, 0);
    EXPECT_EQ(changed.trust, ListTrust::Damaged);
    EXPECT_NE(testing::English(changed.detail).find("does not match its signature"), std::string::npos);
    EXPECT_EQ(CheckSignedList(kList + " ", signature, trusted, 0).trust, ListTrust::Damaged);

    // A signed line changed (a higher serial, to beat replay protection), or one
    // byte of the signature: the signature no longer holds.
    std::string raised = signature;
    raised.replace(raised.find("serial: 500"), 11, "serial: 900");
    EXPECT_EQ(CheckSignedList(kList, raised, trusted, 0).trust, ListTrust::Damaged);
    for (std::size_t at = 0; at < signature.size(); ++at) {
        std::string flipped = signature;
        flipped[at] = flipped[at] == '1' ? '2' : '1';
        if (flipped == signature)
            continue;
        const ListTrust trust = CheckSignedList(kList, flipped, trusted, 0).trust;
        // A changed key id names a key nobody trusts; every other change is damage.
        EXPECT_TRUE(trust == ListTrust::Damaged || trust == ListTrust::OtherKey) << at;
    }
}

TEST(TrustedKeys, BlobHoldsTheKeysAndNothingElseReadsAsKeys)
{
    const std::array<crypto::PublicKey, 2> keys = {KeyA().publicKey, KeyB().publicKey};
    const std::string blob = TrustedKeysBlob(keys);
    ASSERT_EQ(blob.size(), kTrustedKeysBytes);
    const auto span = [](const std::string& bytes) {
        return std::span(reinterpret_cast<const std::byte*>(bytes.data()), bytes.size());
    };
    EXPECT_EQ(ReadTrustedKeys(span(blob)), std::vector<crypto::PublicKey>(keys.begin(), keys.end()));
    // As the image carries it: the magic and no keys.
    EXPECT_EQ(ReadTrustedKeys(span(TrustedKeysBlob({}))), std::vector<crypto::PublicKey>{});

    std::string otherMagic = blob;
    otherMagic[0] = 't';
    EXPECT_FALSE(ReadTrustedKeys(span(otherMagic)));
    std::string threeKeys = blob;
    threeKeys[16] = 3;
    EXPECT_FALSE(ReadTrustedKeys(span(threeKeys)));
    std::string offCurve = blob;
    offCurve[40] ^= 0x01;
    // The system decides what is a point of the curve; Wine's CNG takes any.
    if (!testing::UnderWine()) {
        EXPECT_FALSE(ReadTrustedKeys(span(offCurve)));
    }
    EXPECT_FALSE(ReadTrustedKeys(span(blob.substr(0, 100))));
}

} // namespace
} // namespace tarnwick::sign
