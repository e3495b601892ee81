// The signature file's reader and the launcher's check on arbitrary bytes:
// what arrives beside a list from whoever is on the network path. Reading
// gives a signature or a reason; a signature that was read writes back to
// the same lines (with CR LF taken as LF), and no bytes of the file make a
// launcher take a list that its key did not sign.
#include "fuzz_support.h"

#include "sign/list_signature.h"

#include <cstdint>
#include <string>

using namespace tarnwick;
using namespace tarnwick::fuzzing;

namespace {

const crypto::KeyPair& Key()
{
    static const crypto::KeyPair key = crypto::GenerateKeyPair();
    return key;
}

std::string WithoutCarriageReturns(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const sign::ParsedSignature parsed = sign::ParseSignatureFile(bytes);
    if (parsed.signature && sign::SignatureFileText(*parsed.signature) != WithoutCarriageReturns(bytes))
        Broken("a signature file read does not write back to its lines");
    if (!parsed.signature && parsed.problem.Chinese().empty())
        Broken("a refused signature file has no reason");
    // The list is fixed; only a signature by the key over its bytes may pass.
    static const std::string list = "$BEGIN\r\n<XMLSetup/>\r\n$END\r\n";
    const crypto::PublicKey keys[] = {Key().publicKey};
    const sign::TrustResult result = sign::CheckSignedList(list, bytes, keys, 0);
    if (result.trust == sign::ListTrust::Accepted || result.trust == sign::ListTrust::Older)
        Broken("a signature the fuzzer made up was taken");
    return 0;
}
