#include "base/crypto.h"
#include "sign/hex.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "temporary_folder.h"
#include "under_wine.h"

namespace tarnwick::crypto {
namespace {

std::string HexOf(const auto& bytes) { return sign::ToHex(bytes); }

TEST(Sha256, KnownAnswers)
{
    // FIPS 180-2's examples, and a million "a" across the library's chunks.
    EXPECT_EQ(HexOf(Sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(HexOf(Sha256("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(HexOf(Sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(HexOf(Sha256(std::string(1000000, 'a'))),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    // Given in pieces of every size around the block's 64 bytes, the same digest.
    const std::string text(1000, 'x');
    for (std::size_t piece : {1u, 55u, 56u, 63u, 64u, 65u, 999u}) {
        Sha256Hasher hasher;
        for (std::size_t at = 0; at < text.size(); at += piece)
            hasher.Update(std::string_view(text).substr(at, piece));
        EXPECT_EQ(hasher.Finish(), Sha256(text)) << piece;
    }
}

struct Vector {
    PublicKey key{};
    std::string message;
    Signature signature{};
};

std::vector<Vector> OpensslVectors()
{
    std::ifstream in(TARNWICK_TEST_DATA "/openssl_vectors.txt");
    std::vector<Vector> vectors;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string key, message, signature;
        fields >> key >> message >> signature;
        Vector v;
        EXPECT_TRUE(sign::FromHexInto(key, v.key));
        EXPECT_TRUE(sign::FromHexInto(signature, v.signature));
        if (message != "-") {
            const auto bytes = sign::FromHex(message, message.size() / 2);
            v.message.assign(bytes->begin(), bytes->end());
        }
        vectors.push_back(v);
    }
    return vectors;
}

TEST(Ecdsa, SignaturesOfTheOpensslCommandVerify)
{
    const auto vectors = OpensslVectors();
    ASSERT_EQ(vectors.size(), 12u);
    for (const Vector& v : vectors) {
        SCOPED_TRACE(HexOf(v.key));
        EXPECT_TRUE(IsValidPublicKey(v.key));
        EXPECT_TRUE(Verify(v.key, v.message, v.signature));
        // Another message, a changed bit of r or of s, another key: each refused.
        EXPECT_FALSE(Verify(v.key, v.message + "x", v.signature));
        Signature changed = v.signature;
        changed[5] ^= 0x01;
        EXPECT_FALSE(Verify(v.key, v.message, changed));
        changed = v.signature;
        changed[40] ^= 0x80;
        EXPECT_FALSE(Verify(v.key, v.message, changed));
        EXPECT_FALSE(Verify(vectors[(&v - vectors.data() + 4) % vectors.size()].key, v.message, v.signature));
    }
}

TEST(Ecdsa, SignaturesOutOfRangeAndKeysOffTheCurveAreRefused)
{
    const Vector v = OpensslVectors().at(1);
    Signature zero = v.signature;
    std::fill(zero.begin() + 32, zero.end(), 0); // s = 0
    EXPECT_FALSE(Verify(v.key, v.message, zero));
    Signature all{};
    all.fill(0xFF); // r and s above the group's order
    EXPECT_FALSE(Verify(v.key, v.message, all));

    PublicKey offCurve = v.key;
    offCurve[63] ^= 0x01;
    EXPECT_FALSE(Verify(offCurve, v.message, v.signature));
    // The system decides what is a point of the curve; Wine's CNG takes any.
    if (testing::UnderWine())
        return;
    EXPECT_FALSE(IsValidPublicKey(offCurve));
    EXPECT_FALSE(IsValidPublicKey(PublicKey{}));
}

TEST(Ecdsa, NewKeysSignAndTheirHalvesBelongTogether)
{
    const KeyPair a = GenerateKeyPair();
    const KeyPair b = GenerateKeyPair();
    EXPECT_NE(a.publicKey, b.publicKey);
    EXPECT_TRUE(IsValidKeyPair(a));
    EXPECT_FALSE(IsValidKeyPair({a.privateKey, b.publicKey}));
    const Signature signature = Sign(a, "list");
    EXPECT_TRUE(Verify(a.publicKey, "list", signature));
    EXPECT_FALSE(Verify(b.publicKey, "list", signature));
    // ECDSA draws a fresh nonce: two signatures of one message differ and both hold.
    const Signature again = Sign(a, "list");
    EXPECT_NE(signature, again);
    EXPECT_TRUE(Verify(a.publicKey, "list", again));
}

#ifndef _WIN32
// The DER forms the openssl command reads.
std::string Der(std::string_view hex) { const auto b = sign::FromHex(hex, hex.size() / 2); return {b->begin(), b->end()}; }

std::string DerInteger(std::span<const std::uint8_t> big)
{
    std::size_t skip = 0;
    while (skip + 1 < big.size() && big[skip] == 0)
        ++skip;
    std::string value(big.begin() + static_cast<std::ptrdiff_t>(skip), big.end());
    if (static_cast<std::uint8_t>(value[0]) & 0x80)
        value.insert(value.begin(), '\0');
    return std::string{0x02, static_cast<char>(value.size())} + value;
}

TEST(Ecdsa, OurSignaturesVerifyWithTheOpensslCommand)
{
    if (std::system("openssl version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "the openssl command is not installed";
    testing::TemporaryFolder folder;
    const KeyPair pair = GenerateKeyPair();
    const std::string message = "Tarnwick list signature 1\nserial: 7\n";
    const Signature signature = Sign(pair, message);
    const std::string sequence = DerInteger(std::span(signature).first(32)) + DerInteger(std::span(signature).last(32));
    const std::string der = std::string{0x30, static_cast<char>(sequence.size())} + sequence;
    // SubjectPublicKeyInfo of a P-256 key: the fixed header, then 04 X Y.
    const std::string spki = Der("3059301306072a8648ce3d020106082a8648ce3d030107034200") + '\x04' +
                             std::string(pair.publicKey.begin(), pair.publicKey.end());
    const auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream(folder.path() / name, std::ios::binary) << bytes;
        return (folder.path() / name).string();
    };
    const std::string command = "openssl dgst -sha256 -verify " + write("key.der", spki) +
                                " -keyform DER -signature " + write("sig.der", der) + " " +
                                write("message", message) + " >/dev/null 2>&1";
    // openssl 3 reads a DER public key with -keyform DER.
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    write("message", message + "!");
    EXPECT_NE(std::system(command.c_str()), 0);
}
#endif

} // namespace
} // namespace tarnwick::crypto
