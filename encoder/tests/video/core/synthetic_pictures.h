// Reproducible synthetic video for the video encoder tests: a textured background panning at a
// sub-pixel speed, a bright square moving across it, light noise, and an optional scene cut to
// a different texture.
#pragma once

#include <cmath>
#include <cstdint>

#include "encoder/framework/yuv_image.h"
#include "encoder/kernels/kernel_sets.h"
#include "encoder/kernels/kernel_table.h"

namespace quillset::testing {

struct SyntheticScene {
    int32_t Width = 0;       // picture size
    int32_t Height = 0;
    int32_t CutFrame = -1;   // from this frame on a different scene; -1: none
    double PanX = 1.5;       // background movement, pixels per frame
    double PanY = 0.5;
    int32_t NoiseAmplitude = 3;
};

// A hash of the position and frame: the noise is the same on every run.
inline uint32_t SyntheticHash(uint32_t a, uint32_t b, uint32_t c) {
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

inline uint8_t ClampSample(double v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v + 0.5)); }

// Fills `image` (its planes at their strides; the picture area only) with frame `frame`.
inline void FillSyntheticPicture(TMPEGVideo_YUVImage& image, const SyntheticScene& scene, int32_t frame) {
    const bool cut = scene.CutFrame >= 0 && frame >= scene.CutFrame;
    const double ox = frame * scene.PanX, oy = frame * scene.PanY;
    const double f1 = cut ? 0.21 : 0.13, f2 = cut ? 0.04 : 0.07, f3 = cut ? 0.17 : 0.05;
    const int32_t squareX = (frame * 3) % (scene.Width > 24 ? scene.Width - 24 : 1);
    const int32_t squareY = scene.Height / 3;
    for (int32_t y = 0; y < scene.Height; ++y) {
        uint8_t* row = image.LumaRow(y);
        for (int32_t x = 0; x < scene.Width; ++x) {
            const double u = x + ox, v = y + oy;
            double value = 128 + 55 * std::sin(f1 * u + f2 * v) + 35 * std::sin(f3 * u - 0.11 * v) +
                           20 * std::sin(0.31 * u) * std::cos(0.23 * v);
            if (x >= squareX && x < squareX + 24 && y >= squareY && y < squareY + 24)
                value = cut ? 40 : 230;
            const int32_t noise = scene.NoiseAmplitude > 0
                                      ? static_cast<int32_t>(SyntheticHash(x, y, frame) % (2 * scene.NoiseAmplitude + 1)) -
                                            scene.NoiseAmplitude
                                      : 0;
            row[x] = ClampSample(value + noise);
        }
    }
    const int32_t chromaWidth = scene.Width * image.ChromaStride / image.LumaStride;
    const int32_t chromaHeight = scene.Height * image.ChromaHeight / image.LumaHeight;
    for (int32_t y = 0; y < chromaHeight; ++y) {
        uint8_t* cb = image.CbRow(y);
        uint8_t* cr = image.CrRow(y);
        for (int32_t x = 0; x < chromaWidth; ++x) {
            const double u = 2 * x + ox, v = y + oy;
            cb[x] = ClampSample(128 + 40 * std::sin(0.09 * u + (cut ? 1.0 : 0.0)) + 10 * std::cos(0.13 * v));
            cr[x] = ClampSample(128 + 35 * std::cos(0.07 * v - 0.05 * u));
        }
    }
}

// The reference kernels with this processor's kernels on top; the floating-point quantiser
// paths by choice.
inline TKernelTable TestKernelTable(bool floatPaths = false) {
    TKernelTable table;
    MPEGEncoder_FuncSet_Normal(table);
    FillProcessorKernels(table, ActiveFeatures());
    const uint8_t flag = floatPaths ? 1 : 0;
    table.UseFloatLevelBound = table.UseFloatQuantize = flag;
    table.UseFloatDequantIntraMpeg1 = table.UseFloatDequantIntraMpeg2 = flag;
    table.UseFloatDequantInterMpeg1 = table.UseFloatDequantInterMpeg2 = flag;
    return table;
}

} // namespace quillset::testing
