#include "encoder/audio/mpeg/psyc_tables.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <iterator>

namespace quillset::mpa {

namespace {

// Critical band edges in Hz (Zwicker), as used by ISO/IEC 11172-3, Annex D.
constexpr double kCriticalBandEdges[] = {0,    100,  200,  300,  400,  510,  630,  770,   920,
                                         1080, 1270, 1480, 1720, 2000, 2320, 2700, 3150,  3700,
                                         4400, 5300, 6400, 7700, 9500, 12000, 15500, 25000, 30000};

// Minimum signal-to-noise ratio in dB by Bark, 0 .. 26.
constexpr double kMinimumSNR[] = {20.0, 20.0, 20.0, 20.0, 20.0, 17.0, 15.0, 10.0, 7.0,
                                  4.4,  4.5,  4.5,  4.5,  4.5,  4.5,  4.5,  4.5,  4.5,
                                  4.5,  4.5,  4.5,  4.5,  4.5,  4.5,  3.5,  3.5,  3.5};

// The threshold in quiet in dB at the frequency lines of ISO/IEC 11172-3, Table D.1 (Layer II):
// lines 1 .. 48 one by one, then every 2nd line to 96, every 4th to 192 and every 8th beyond.
// 44100 Hz: 130 entries.
const float kQuietThreshold44100[] = {
    45.05f, 25.87f, 18.70f, 14.85f, 12.41f, 10.72f, 9.47f, 8.50f, 7.73f, 7.10f, 6.56f, 6.11f,
    5.72f, 5.37f, 5.07f, 4.79f, 4.55f, 4.32f, 4.11f, 3.92f, 3.74f, 3.57f, 3.40f, 3.25f,
    3.10f, 2.95f, 2.81f, 2.67f, 2.53f, 2.39f, 2.25f, 2.11f, 1.97f, 1.83f, 1.68f, 1.53f,
    1.38f, 1.23f, 1.07f, 0.90f, 0.74f, 0.56f, 0.39f, 0.21f, 0.02f, -0.17f, -0.36f, -0.56f,
    -0.96f, -1.38f, -1.79f, -2.21f, -2.63f, -3.03f, -3.41f, -3.77f, -4.09f, -4.37f, -4.60f, -4.78f,
    -4.91f, -4.97f, -4.98f, -4.92f, -4.81f, -4.65f, -4.43f, -4.17f, -3.87f, -3.54f, -3.19f, -2.82f,
    -2.06f, -1.32f, -0.64f, -0.04f, 0.47f, 0.89f, 1.23f, 1.51f, 1.74f, 1.93f, 2.11f, 2.28f,
    2.46f, 2.63f, 2.82f, 3.03f, 3.25f, 3.49f, 3.74f, 4.02f, 4.32f, 4.64f, 4.98f, 5.35f,
    6.15f, 7.07f, 8.10f, 9.25f, 10.54f, 11.97f, 13.56f, 15.31f, 17.23f, 19.34f, 21.64f, 24.15f,
    26.88f, 29.84f, 33.05f, 36.52f, 40.25f, 44.27f, 48.59f, 53.22f, 58.18f, 63.49f, 68.00f, 68.00f,
    68.00f, 68.00f, 68.00f, 68.00f, 68.00f, 68.00f, 68.00f, 68.00f, 68.00f, 68.00f,
};

// 48000 Hz: 126 entries.
const float kQuietThreshold48000[] = {
    42.10f, 24.17f, 17.47f, 13.87f, 11.60f, 10.01f, 8.84f, 7.94f, 7.22f, 6.62f, 6.12f, 5.70f,
    5.33f, 5.00f, 4.71f, 4.45f, 4.21f, 4.00f, 3.79f, 3.61f, 3.43f, 3.26f, 3.09f, 2.93f,
    2.78f, 2.63f, 2.47f, 2.32f, 2.17f, 2.02f, 1.86f, 1.71f, 1.55f, 1.38f, 1.21f, 1.04f,
    0.86f, 0.67f, 0.49f, 0.29f, 0.09f, -0.11f, -0.32f, -0.54f, -0.75f, -0.97f, -1.20f, -1.43f,
    -1.88f, -2.34f, -2.79f, -3.22f, -3.62f, -3.98f, -4.30f, -4.57f, -4.77f, -4.91f, -4.98f, -4.97f,
    -4.90f, -4.76f, -4.55f, -4.29f, -3.99f, -3.64f, -3.26f, -2.86f, -2.45f, -2.04f, -1.63f, -1.24f,
    -0.51f, 0.12f, 0.64f, 1.06f, 1.39f, 1.66f, 1.88f, 2.08f, 2.27f, 2.46f, 2.65f, 2.86f,
    3.09f, 3.33f, 3.60f, 3.89f, 4.20f, 4.54f, 4.91f, 5.31f, 5.73f, 6.18f, 6.67f, 7.19f,
    8.33f, 9.63f, 11.08f, 12.71f, 14.53f, 16.54f, 18.77f, 21.23f, 23.94f, 26.90f, 30.14f, 33.67f,
    37.51f, 41.67f, 46.17f, 51.04f, 56.29f, 61.94f, 68.00f, 68.00f, 68.00f, 68.00f, 68.00f, 68.00f,
    68.00f, 68.00f, 68.00f, 68.00f, 68.00f, 68.00f,
};

// 32000 Hz: 132 entries.
const float kQuietThreshold32000[] = {
    58.23f, 33.44f, 24.17f, 19.20f, 16.05f, 13.87f, 12.26f, 11.01f, 10.01f, 9.20f, 8.52f, 7.94f,
    7.44f, 7.00f, 6.62f, 6.28f, 5.97f, 5.70f, 5.44f, 5.21f, 5.00f, 4.80f, 4.62f, 4.45f,
    4.29f, 4.14f, 4.00f, 3.86f, 3.73f, 3.61f, 3.49f, 3.37f, 3.26f, 3.15f, 3.04f, 2.93f,
    2.83f, 2.73f, 2.63f, 2.53f, 2.42f, 2.32f, 2.22f, 2.12f, 2.02f, 1.92f, 1.81f, 1.71f,
    1.49f, 1.27f, 1.04f, 0.80f, 0.55f, 0.29f, 0.02f, -0.25f, -0.54f, -0.83f, -1.12f, -1.43f,
    -1.73f, -2.04f, -2.34f, -2.64f, -2.93f, -3.22f, -3.49f, -3.74f, -3.98f, -4.20f, -4.40f, -4.57f,
    -4.82f, -4.96f, -4.97f, -4.86f, -4.63f, -4.29f, -3.87f, -3.39f, -2.86f, -2.31f, -1.77f, -1.24f,
    -0.74f, -0.29f, 0.12f, 0.48f, 0.79f, 1.06f, 1.29f, 1.49f, 1.66f, 1.81f, 1.95f, 2.08f,
    2.33f, 2.59f, 2.86f, 3.17f, 3.51f, 3.89f, 4.31f, 4.79f, 5.31f, 5.88f, 6.50f, 7.19f,
    7.93f, 8.75f, 9.63f, 10.58f, 11.60f, 12.71f, 13.90f, 15.18f, 16.54f, 18.01f, 19.57f, 21.23f,
    23.01f, 24.90f, 26.90f, 29.03f, 31.28f, 33.67f, 36.19f, 38.86f, 41.67f, 44.63f, 47.76f, 51.04f,
};
// The line of entry k of a threshold table.
int32_t QuietTableLine(int32_t k) {
    if (k < 48)
        return k + 1;
    if (k < 72)
        return 48 + 2 * (k - 47);
    if (k < 96)
        return 96 + 4 * (k - 71);
    return 192 + 8 * (k - 95);
}

} // namespace

double BarkOf(double frequency) {
    int32_t j = 1;
    while (j < static_cast<int32_t>(std::size(kCriticalBandEdges)) - 1 && frequency > kCriticalBandEdges[j])
        ++j;
    return j - 1 + (frequency - kCriticalBandEdges[j - 1]) / (kCriticalBandEdges[j] - kCriticalBandEdges[j - 1]);
}

double MinimumSNROfBark(int32_t bark) {
    return kMinimumSNR[std::clamp<int32_t>(bark, 0, static_cast<int32_t>(std::size(kMinimumSNR)) - 1)];
}

double ToneMaskingNoise(double bark) {
    return std::max(15.5 + bark, 24.5);
}

double SpreadingFunction(double from, double to) {
    // ISO/IEC 11172-3, D.2.4 step 6 (model 2): dz scaled by 1.05, the bump between 0.5 and 2.5.
    const double x = 1.05 * (to - from);
    double bump = 0.0;
    if (x >= 0.5 && x <= 2.5) {
        const double t = x - 0.5;
        bump = 8.0 * (t * t - 2.0 * t);
    }
    const double y = x + 0.474;
    const double slope = 15.811389 + 7.5 * y - 17.5 * std::sqrt(1.0 + y * y);
    if (slope <= -100.0)
        return 0.0;
    return std::pow(10.0, (bump + slope) / 10.0);
}

double QuietThresholdDb(int32_t samplingFrequency, int32_t line) {
    const float* table = kQuietThreshold44100;
    int32_t count = static_cast<int32_t>(std::size(kQuietThreshold44100));
    if (samplingFrequency == 48000) {
        table = kQuietThreshold48000;
        count = static_cast<int32_t>(std::size(kQuietThreshold48000));
    } else if (samplingFrequency == 32000) {
        table = kQuietThreshold32000;
        count = static_cast<int32_t>(std::size(kQuietThreshold32000));
    }
    if (line <= 1)
        return table[0];
    // Linear between the lines the table gives; the last value holds above its last line.
    for (int32_t k = 1; k < count; ++k) {
        const int32_t upper = QuietTableLine(k);
        if (line <= upper) {
            const int32_t lower = QuietTableLine(k - 1);
            const double f = static_cast<double>(line - lower) / (upper - lower);
            return table[k - 1] + f * (table[k] - table[k - 1]);
        }
    }
    return table[count - 1];
}

PsycPartitions BuildPsycPartitions(int32_t samplingFrequency) {
    PsycPartitions p;
    const double lineWidth = static_cast<double>(samplingFrequency) / kPsycFFTSize;
    double first = 0.0; // Bark of the open partition's first line
    double sum = 0.0;
    for (int32_t line = 0; line < kPsycLines; ++line) {
        const double bark = BarkOf(line * lineWidth);
        if (line == 0 || bark - first > 0.33) {
            if (line > 0)
                p.Bark[p.Count - 1] = sum / p.LineCount[p.Count - 1];
            assert(p.Count < kMaxPartitions);
            p.FirstLine[p.Count] = line;
            p.LineCount[p.Count] = 0;
            ++p.Count;
            first = bark;
            sum = 0.0;
        }
        ++p.LineCount[p.Count - 1];
        sum += bark;
    }
    p.Bark[p.Count - 1] = sum / p.LineCount[p.Count - 1];
    return p;
}

} // namespace quillset::mpa
