// MD5 as RFC 1321 defines it, written for speed: operators hash patch archives
// of several GiB, and one MD5 stream is bound by the dependency chain through
// its 64 steps. Everything here keeps that chain as short as the algorithm allows.
#include "digest/md5.h"

#include <bit>
#include <cstring>

namespace tarnwick {

namespace {

constexpr std::uint32_t kInitialState[4] = {0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u};

inline std::uint32_t LoadLittleEndian(const std::uint8_t* bytes)
{
    std::uint32_t word;
    std::memcpy(&word, bytes, sizeof word); // unaligned input is allowed
    if constexpr (std::endian::native == std::endian::big)
        word = (word >> 24) | ((word >> 8) & 0xff00u) | ((word << 8) & 0xff0000u) | (word << 24);
    return word;
}

inline void StoreLittleEndian(std::uint32_t word, std::uint8_t* bytes)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(word >> (8 * i));
}

// Adding the message word and constant first does not wait for b, the value the
// previous step just produced. Without the barrier GCC fuses this sum with the
// round function's sum into a three-operand lea, which is slow on the chain.
inline void AddWordAndConstant(std::uint32_t& a, std::uint32_t m, std::uint32_t k)
{
    a += m + k;
#if defined(__GNUC__)
    asm volatile("" : "+r"(a));
#endif
}

// The round functions are arranged so that only the last operation needs b.
template <int S>
inline void StepF(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t m, std::uint32_t k)
{
    AddWordAndConstant(a, m, k);
    a += d ^ (b & (c ^ d));
    a = std::rotl(a, S) + b;
}

// (b & d) | (c & ~d) with disjoint bits, so the two halves can be added separately
// and the half without b joins the sum early.
template <int S>
inline void StepG(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t m, std::uint32_t k)
{
    AddWordAndConstant(a, m, k);
    a += c & ~d;
    a += b & d;
    a = std::rotl(a, S) + b;
}

template <int S>
inline void StepH(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t m, std::uint32_t k)
{
    AddWordAndConstant(a, m, k);
    a += b ^ (c ^ d);
    a = std::rotl(a, S) + b;
}

template <int S>
inline void StepI(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint32_t m, std::uint32_t k)
{
    AddWordAndConstant(a, m, k);
    a += c ^ (b | ~d);
    a = std::rotl(a, S) + b;
}

// Transforms whole 64-byte blocks straight from the caller's memory, keeping the
// state in registers from one block to the next.
void TransformBlocks(std::uint32_t state[4], const std::uint8_t* data, std::size_t blocks)
{
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks > 0; --blocks, data += 64) {
        std::uint32_t x[16];
        for (int i = 0; i < 16; ++i)
            x[i] = LoadLittleEndian(data + 4 * i);
        const std::uint32_t aa = a, bb = b, cc = c, dd = d;

        StepF<7>(a, b, c, d, x[0], 0xd76aa478u);
        StepF<12>(d, a, b, c, x[1], 0xe8c7b756u);
        StepF<17>(c, d, a, b, x[2], 0x242070dbu);
        StepF<22>(b, c, d, a, x[3], 0xc1bdceeeu);
        StepF<7>(a, b, c, d, x[4], 0xf57c0fafu);
        StepF<12>(d, a, b, c, x[5], 0x4787c62au);
        StepF<17>(c, d, a, b, x[6], 0xa8304613u);
        StepF<22>(b, c, d, a, x[7], 0xfd469501u);
        StepF<7>(a, b, c, d, x[8], 0x698098d8u);
        StepF<12>(d, a, b, c, x[9], 0x8b44f7afu);
        StepF<17>(c, d, a, b, x[10], 0xffff5bb1u);
        StepF<22>(b, c, d, a, x[11], 0x895cd7beu);
        StepF<7>(a, b, c, d, x[12], 0x6b901122u);
        StepF<12>(d, a, b, c, x[13], 0xfd987193u);
        StepF<17>(c, d, a, b, x[14], 0xa679438eu);
        StepF<22>(b, c, d, a, x[15], 0x49b40821u);

        StepG<5>(a, b, c, d, x[1], 0xf61e2562u);
        StepG<9>(d, a, b, c, x[6], 0xc040b340u);
        StepG<14>(c, d, a, b, x[11], 0x265e5a51u);
        StepG<20>(b, c, d, a, x[0], 0xe9b6c7aau);
        StepG<5>(a, b, c, d, x[5], 0xd62f105du);
        StepG<9>(d, a, b, c, x[10], 0x02441453u);
        StepG<14>(c, d, a, b, x[15], 0xd8a1e681u);
        StepG<20>(b, c, d, a, x[4], 0xe7d3fbc8u);
        StepG<5>(a, b, c, d, x[9], 0x21e1cde6u);
        StepG<9>(d, a, b, c, x[14], 0xc33707d6u);
        StepG<14>(c, d, a, b, x[3], 0xf4d50d87u);
        StepG<20>(b, c, d, a, x[8], 0x455a14edu);
        StepG<5>(a, b, c, d, x[13], 0xa9e3e905u);
        StepG<9>(d, a, b, c, x[2], 0xfcefa3f8u);
        StepG<14>(c, d, a, b, x[7], 0x676f02d9u);
        StepG<20>(b, c, d, a, x[12], 0x8d2a4c8au);

        StepH<4>(a, b, c, d, x[5], 0xfffa3942u);
        StepH<11>(d, a, b, c, x[8], 0x8771f681u);
        StepH<16>(c, d, a, b, x[11], 0x6d9d6122u);
        StepH<23>(b, c, d, a, x[14], 0xfde5380cu);
        StepH<4>(a, b, c, d, x[1], 0xa4beea44u);
        StepH<11>(d, a, b, c, x[4], 0x4bdecfa9u);
        StepH<16>(c, d, a, b, x[7], 0xf6bb4b60u);
        StepH<23>(b, c, d, a, x[10], 0xbebfbc70u);
        StepH<4>(a, b, c, d, x[13], 0x289b7ec6u);
        StepH<11>(d, a, b, c, x[0], 0xeaa127fau);
        StepH<16>(c, d, a, b, x[3], 0xd4ef3085u);
        StepH<23>(b, c, d, a, x[6], 0x04881d05u);
        StepH<4>(a, b, c, d, x[9], 0xd9d4d039u);
        StepH<11>(d, a, b, c, x[12], 0xe6db99e5u);
        StepH<16>(c, d, a, b, x[15], 0x1fa27cf8u);
        StepH<23>(b, c, d, a, x[2], 0xc4ac5665u);

        StepI<6>(a, b, c, d, x[0], 0xf4292244u);
        StepI<10>(d, a, b, c, x[7], 0x432aff97u);
        StepI<15>(c, d, a, b, x[14], 0xab9423a7u);
        StepI<21>(b, c, d, a, x[5], 0xfc93a039u);
        StepI<6>(a, b, c, d, x[12], 0x655b59c3u);
        StepI<10>(d, a, b, c, x[3], 0x8f0ccc92u);
        StepI<15>(c, d, a, b, x[10], 0xffeff47du);
        StepI<21>(b, c, d, a, x[1], 0x85845dd1u);
        StepI<6>(a, b, c, d, x[8], 0x6fa87e4fu);
        StepI<10>(d, a, b, c, x[15], 0xfe2ce6e0u);
        StepI<15>(c, d, a, b, x[6], 0xa3014314u);
        StepI<21>(b, c, d, a, x[13], 0x4e0811a1u);
        StepI<6>(a, b, c, d, x[4], 0xf7537e82u);
        StepI<10>(d, a, b, c, x[11], 0xbd3af235u);
        StepI<15>(c, d, a, b, x[2], 0x2ad7d2bbu);
        StepI<21>(b, c, d, a, x[9], 0xeb86d391u);

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

} // namespace

void MD5Init(MD5Context& context)
{
    std::memcpy(context.state, kInitialState, sizeof context.state);
    context.count[0] = 0;
    context.count[1] = 0;
    std::memset(context.buffer, 0, sizeof context.buffer);
}

void MD5Update(MD5Context& context, const void* data, std::uint32_t length)
{
    if (length == 0)
        return; // data may then be null, which memcpy does not allow
    auto input = static_cast<const std::uint8_t*>(data);
    const std::uint32_t buffered = (context.count[0] >> 3) & 63;

    const std::uint32_t addedBits = length << 3;
    context.count[0] += addedBits;
    if (context.count[0] < addedBits)
        ++context.count[1];
    context.count[1] += length >> 29;

    std::uint32_t done = 0;
    if (buffered != 0) {
        const std::uint32_t room = 64 - buffered;
        if (length < room) {
            std::memcpy(context.buffer + buffered, input, length);
            return;
        }
        std::memcpy(context.buffer + buffered, input, room);
        TransformBlocks(context.state, context.buffer, 1);
        done = room;
    }
    const std::uint32_t wholeBlocks = (length - done) / 64;
    TransformBlocks(context.state, input + done, wholeBlocks);
    done += wholeBlocks * 64;
    std::memcpy(context.buffer, input + done, length - done);
}

void MD5Final(MD5Context& context, Digest& digest)
{
    std::uint8_t bitCount[8];
    StoreLittleEndian(context.count[0], bitCount);
    StoreLittleEndian(context.count[1], bitCount + 4);

    // One 0x80 byte, then zeros up to 56 bytes modulo 64, then the bit count.
    static constexpr std::uint8_t kPadding[64] = {0x80};
    const std::uint32_t buffered = (context.count[0] >> 3) & 63;
    const std::uint32_t padLength = buffered < 56 ? 56 - buffered : 120 - buffered;
    MD5Update(context, kPadding, padLength);
    MD5Update(context, bitCount, sizeof bitCount);

    for (int i = 0; i < 4; ++i)
        StoreLittleEndian(context.state[i], digest.data() + 4 * i);
    // Nothing of the message may stay behind in the caller's memory.
    std::memset(&context, 0, sizeof context);
}

std::string DigestToHex(const Digest& digest)
{
    static constexpr char kHexDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(2 * digest.size());
    for (std::uint8_t byte : digest) {
        hex.push_back(kHexDigits[byte >> 4]);
        hex.push_back(kHexDigits[byte & 0x0f]);
    }
    return hex;
}

} // namespace tarnwick
