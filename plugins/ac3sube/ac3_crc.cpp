#include "plugins/ac3sube/ac3_crc.h"

#include <array>

namespace quillset::ac3sube {

namespace {

constexpr uint32_t kGenerator = 0x8005; // x^16 + x^15 + x^2 + 1 without the x^16 term

std::array<uint16_t, 256> BuildTable() {
    std::array<uint16_t, 256> table{};
    for (uint32_t byte = 0; byte < 256; ++byte) {
        uint32_t crc = byte << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) != 0 ? (crc << 1) ^ kGenerator : crc << 1;
        table[byte] = static_cast<uint16_t>(crc);
    }
    return table;
}

const std::array<uint16_t, 256> kTable = BuildTable();

// a × b modulo the generator polynomial, over GF(2).
uint16_t MultiplyMod(uint32_t a, uint32_t b) {
    uint32_t product = 0;
    for (int bit = 15; bit >= 0; --bit) {
        product <<= 1;
        if ((product & 0x10000) != 0)
            product ^= 0x10000 | kGenerator;
        if (((b >> bit) & 1) != 0)
            product ^= a;
    }
    return static_cast<uint16_t>(product);
}

// x^power modulo the generator; x^-1 = x^15 + x^14 + x (since x (x^15 + x^14 + x) = 1 mod g).
uint16_t InversePowerOfX(int64_t power) {
    uint16_t result = 1, base = 0xc002;
    for (; power > 0; power >>= 1) {
        if ((power & 1) != 0)
            result = MultiplyMod(result, base);
        base = MultiplyMod(base, base);
    }
    return result;
}

} // namespace

uint16_t Crc16(const uint8_t* data, int32_t size, uint16_t crc) {
    for (int32_t i = 0; i < size; ++i)
        crc = static_cast<uint16_t>((crc << 8) ^ kTable[((crc >> 8) ^ data[i]) & 0xff]);
    return crc;
}

void PutFrameChecks(uint8_t* frame, int32_t frameBytes, int32_t firstPartBytes) {
    // crc1 C must satisfy (C x^L + D) x^16 = 0 (mod g), D being the L bits behind it up to the
    // end of the first part: C = crc(D) x^-(L+16).
    const int32_t dataBytes = firstPartBytes - 4;
    const uint16_t dataCrc = Crc16(frame + 4, dataBytes);
    const uint16_t crc1 = MultiplyMod(dataCrc, InversePowerOfX(int64_t{dataBytes} * 8 + 16));
    frame[2] = static_cast<uint8_t>(crc1 >> 8);
    frame[3] = static_cast<uint8_t>(crc1);
    const uint16_t crc2 = Crc16(frame + firstPartBytes, frameBytes - 2 - firstPartBytes);
    frame[frameBytes - 2] = static_cast<uint8_t>(crc2 >> 8);
    frame[frameBytes - 1] = static_cast<uint8_t>(crc2);
}

} // namespace quillset::ac3sube
