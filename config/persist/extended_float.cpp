#include "config/persist/extended_float.h"

#include <bit>
#include <cstring>

namespace quillset {

namespace {

constexpr int kExtendedBias = 16383;
constexpr int kDoubleBias = 1023;
constexpr uint64_t kDoubleFractionMask = (uint64_t{1} << 52) - 1;
constexpr uint64_t kIntegerBit = uint64_t{1} << 63;

TExtended80 Pack(bool negative, int exponent, uint64_t mantissa) {
    TExtended80 bytes{};
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<uint8_t>(mantissa >> (8 * i));
    const auto top = static_cast<uint16_t>((negative ? 0x8000 : 0) | (exponent & 0x7FFF));
    bytes[8] = static_cast<uint8_t>(top);
    bytes[9] = static_cast<uint8_t>(top >> 8);
    return bytes;
}

double FromBits(uint64_t bits) { return std::bit_cast<double>(bits); }

} // namespace

TExtended80 DoubleToExtended(double value) {
    const auto bits = std::bit_cast<uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
    const uint64_t fraction = bits & kDoubleFractionMask;
    if (exponent == 0x7FF) // infinity or NaN, payload kept
        return Pack(negative, 0x7FFF, kIntegerBit | (fraction << 11));
    if (exponent == 0) {
        if (fraction == 0)
            return Pack(negative, 0, 0);
        // A double denormal is fraction x 2^-1074; normalise it, the extended range holds it.
        const int shift = std::countl_zero(fraction);
        return Pack(negative, kExtendedBias + 63 - 1074 - shift, fraction << shift);
    }
    return Pack(negative, exponent - kDoubleBias + kExtendedBias, kIntegerBit | (fraction << 11));
}

double ExtendedToDouble(const TExtended80& bytes) {
    uint64_t mantissa = 0;
    for (int i = 0; i < 8; ++i)
        mantissa |= uint64_t{bytes[i]} << (8 * i);
    const int top = bytes[8] | (bytes[9] << 8);
    const uint64_t sign = static_cast<uint64_t>(top >> 15) << 63;
    const int exponent = top & 0x7FFF;

    if (exponent == 0x7FFF) {
        const uint64_t fraction = (mantissa & ~kIntegerBit) >> 11;
        if ((mantissa & ~kIntegerBit) == 0)
            return FromBits(sign | (uint64_t{0x7FF} << 52));
        // NaN: keep what fits of the payload, and keep it a NaN.
        return FromBits(sign | (uint64_t{0x7FF} << 52) | (fraction != 0 ? fraction : uint64_t{1} << 51));
    }
    if (mantissa == 0)
        return FromBits(sign);

    // value = mantissa x 2^(exponent - bias - 63); normalise so that bit 63 is set.
    const int shift = std::countl_zero(mantissa);
    mantissa <<= shift;
    int unbiased = exponent - kExtendedBias - shift; // value = 1.f x 2^unbiased
    if (unbiased > kDoubleBias)
        return FromBits(sign | (uint64_t{0x7FF} << 52));

    if (unbiased >= 1 - kDoubleBias) {
        uint64_t kept = mantissa >> 11;
        const uint64_t rest = mantissa & 0x7FF;
        if (rest > 0x400 || (rest == 0x400 && (kept & 1) != 0))
            ++kept;
        if (kept == (uint64_t{1} << 53)) {
            kept >>= 1;
            ++unbiased;
            if (unbiased > kDoubleBias)
                return FromBits(sign | (uint64_t{0x7FF} << 52));
        }
        return FromBits(sign | (static_cast<uint64_t>(unbiased + kDoubleBias) << 52) | (kept & kDoubleFractionMask));
    }

    // Denormal result: fraction = mantissa x 2^(unbiased - 63 + 1074), a right shift by s >= 12.
    // With s = 64 the value lies in [0.5, 1) units of the smallest denormal, above 65 below 0.5.
    const int s = -(unbiased + 1011);
    if (s >= 65)
        return FromBits(sign);
    if (s == 64)
        return FromBits(sign | (mantissa > kIntegerBit ? 1 : 0));
    uint64_t fraction = mantissa >> s;
    const uint64_t rest = mantissa & ((uint64_t{1} << s) - 1);
    const uint64_t half = uint64_t{1} << (s - 1);
    if (rest > half || (rest == half && (fraction & 1) != 0))
        ++fraction; // reaching 2^52 is the smallest normal, which the bit pattern already says
    return FromBits(sign | fraction);
}

} // namespace quillset
