#include "source/demo_source.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "stream/large_stream.h"

namespace quillset {

namespace {

// Studio-range Y'CbCr of the colour bars (75 % bars: white, yellow, cyan, green, magenta, red,
// blue, black).
struct TBarColour {
    uint8_t Y, Cb, Cr;
};
constexpr TBarColour kBars[] = {{180, 128, 128}, {162, 44, 142}, {131, 156, 44}, {112, 72, 58},
                                {84, 184, 198},  {65, 100, 212}, {35, 212, 114}, {16, 128, 128}};

// Seven-segment style digits in a 3x5 cell grid, one bit per cell, rows from the top.
constexpr uint16_t kDigits[10] = {0x7B6F, 0x2492, 0x73E7, 0x73CF, 0x5BC9, 0x79CF, 0x79EF, 0x7249, 0x7BEF, 0x7BCF};

void WriteText(TLargeStream& output, const std::string& text) {
    output.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
}

void Put16(std::vector<uint8_t>& bytes, uint32_t value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& bytes, uint32_t value) {
    Put16(bytes, value & 0xFFFF);
    Put16(bytes, value >> 16);
}

void FillRect(std::vector<uint8_t>& plane, int32_t stride, int32_t height, int32_t x0, int32_t y0, int32_t w,
              int32_t h, uint8_t value) {
    const int32_t x1 = std::min(stride, x0 + w);
    const int32_t y1 = std::min(height, y0 + h);
    for (int32_t y = std::max(0, y0); y < y1; ++y)
        std::fill(plane.begin() + static_cast<ptrdiff_t>(y) * stride + std::max(0, x0),
                  plane.begin() + static_cast<ptrdiff_t>(y) * stride + x1, value);
}

// The frame number in white digits on black, at the lower left.
void DrawCounter(std::vector<uint8_t>& luma, const TDemoFormat& f, int32_t frame) {
    const int32_t cell = std::max(2, f.Height / 60);
    const std::string digits = std::to_string(frame);
    const int32_t x0 = f.Width / 16;
    const int32_t y0 = f.Height - 8 * cell;
    FillRect(luma, f.Width, f.Height, x0 - cell, y0 - cell, static_cast<int32_t>(digits.size()) * 4 * cell + cell,
             7 * cell, 16);
    for (size_t d = 0; d < digits.size(); ++d) {
        const uint16_t pattern = kDigits[digits[d] - '0'];
        for (int32_t row = 0; row < 5; ++row)
            for (int32_t col = 0; col < 3; ++col)
                if (pattern & (1u << (14 - (row * 3 + col))))
                    FillRect(luma, f.Width, f.Height, x0 + static_cast<int32_t>(d) * 4 * cell + col * cell,
                             y0 + row * cell, cell, cell, 235);
    }
}

} // namespace

void WriteDemoPictures(TLargeStream& output, const TDemoFormat& f) {
    WriteText(output, "YUV4MPEG2 W" + std::to_string(f.Width) + " H" + std::to_string(f.Height) + " F" +
                          std::to_string(f.RateNumerator) + ":" + std::to_string(f.RateDenominator) +
                          " Ip A0:0 C420jpeg\n");
    const int32_t cw = f.Width / 2;
    const int32_t ch = f.Height / 2;
    std::vector<uint8_t> luma(static_cast<size_t>(f.Width) * f.Height);
    std::vector<uint8_t> cb(static_cast<size_t>(cw) * ch);
    std::vector<uint8_t> cr(cb.size());
    const int32_t barsHeight = f.Height / 3;
    const int32_t square = std::max(16, f.Height / 6);
    for (int32_t n = 0; n < f.Frames; ++n) {
        // Upper third: the colour bars.
        for (int32_t x = 0; x < f.Width; ++x) {
            const TBarColour& c = kBars[x * 8 / f.Width];
            for (int32_t y = 0; y < barsHeight; ++y)
                luma[static_cast<size_t>(y) * f.Width + x] = c.Y;
            for (int32_t y = 0; y < barsHeight / 2; ++y) {
                cb[static_cast<size_t>(y) * cw + x / 2] = c.Cb;
                cr[static_cast<size_t>(y) * cw + x / 2] = c.Cr;
            }
        }
        // Below: a diagonal gradient sweeping left, tinted slowly through the hues.
        const double hue = 2 * std::numbers::pi * n / 240.0;
        for (int32_t y = barsHeight; y < f.Height; ++y)
            for (int32_t x = 0; x < f.Width; ++x)
                luma[static_cast<size_t>(y) * f.Width + x] = static_cast<uint8_t>(48 + ((x + y / 2 + 3 * n) % 256) * 140 / 255);
        for (int32_t y = barsHeight / 2; y < ch; ++y)
            for (int32_t x = 0; x < cw; ++x) {
                cb[static_cast<size_t>(y) * cw + x] = static_cast<uint8_t>(128 + 40 * std::cos(hue + x * 0.01));
                cr[static_cast<size_t>(y) * cw + x] = static_cast<uint8_t>(128 + 40 * std::sin(hue + y * 0.02));
            }
        // A square bouncing between the edges of the lower part.
        const int32_t spanX = f.Width - square;
        const int32_t spanY = f.Height - barsHeight - square;
        const int32_t px = std::abs((n * 7) % (2 * spanX) - spanX);
        const int32_t py = barsHeight + std::abs((n * 5) % (2 * std::max(1, spanY)) - spanY);
        FillRect(luma, f.Width, f.Height, px, py, square, square, 210);
        FillRect(cb, cw, ch, px / 2, py / 2, square / 2, square / 2, 60);
        FillRect(cr, cw, ch, px / 2, py / 2, square / 2, square / 2, 200);
        DrawCounter(luma, f, n);

        WriteText(output, "FRAME\n");
        output.WriteBuffer(luma.data(), static_cast<int32_t>(luma.size()));
        output.WriteBuffer(cb.data(), static_cast<int32_t>(cb.size()));
        output.WriteBuffer(cr.data(), static_cast<int32_t>(cr.size()));
    }
}

void WriteDemoSound(TLargeStream& output, const TDemoFormat& f) {
    const int64_t times = static_cast<int64_t>(f.Frames) * f.RateDenominator * f.SamplingFrequency / f.RateNumerator;
    const auto dataBytes = static_cast<uint32_t>(times * 4);
    std::vector<uint8_t> bytes;
    bytes.insert(bytes.end(), {'R', 'I', 'F', 'F'});
    Put32(bytes, 36 + dataBytes);
    bytes.insert(bytes.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(bytes, 16);
    Put16(bytes, 1); // PCM
    Put16(bytes, 2);
    Put32(bytes, static_cast<uint32_t>(f.SamplingFrequency));
    Put32(bytes, static_cast<uint32_t>(f.SamplingFrequency) * 4);
    Put16(bytes, 4);
    Put16(bytes, 16);
    bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
    Put32(bytes, dataBytes);
    output.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));

    // A-major scale, one note per second; the right channel a fifth above the left.
    constexpr double kNotes[] = {440.0, 493.88, 554.37, 587.33, 659.25, 739.99, 830.61, 880.0};
    const int64_t clickLength = f.SamplingFrequency / 100;
    std::vector<int16_t> block;
    double phaseLeft = 0;
    double phaseRight = 0;
    for (int64_t start = 0; start < times; start += 4096) {
        const int64_t count = std::min<int64_t>(4096, times - start);
        block.resize(static_cast<size_t>(count) * 2);
        for (int64_t i = 0; i < count; ++i) {
            const int64_t t = start + i;
            const int64_t second = t / f.SamplingFrequency;
            const double note = kNotes[second % 8];
            phaseLeft += 2 * std::numbers::pi * note / f.SamplingFrequency;
            phaseRight += 2 * std::numbers::pi * note * 1.5 / f.SamplingFrequency;
            double left = 0.25 * std::sin(phaseLeft);
            double right = 0.2 * std::sin(phaseRight);
            if (t % f.SamplingFrequency < clickLength)
                left = right = ((t / 24) % 2 ? 0.5 : -0.5);
            block[static_cast<size_t>(i) * 2] = static_cast<int16_t>(std::lround(left * 32767));
            block[static_cast<size_t>(i) * 2 + 1] = static_cast<int16_t>(std::lround(right * 32767));
        }
        // The samples are little-endian 16-bit, as this machine stores them.
        output.WriteBuffer(block.data(), static_cast<int32_t>(block.size() * sizeof(int16_t)));
    }
}

} // namespace quillset
