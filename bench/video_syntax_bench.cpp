// The macroblock writer on coded 720x576 pictures with typical level statistics: intra
// macroblocks of a medium quantiser (a dozen levels per block, mostly at low frequencies),
// P and B macroblocks with small vectors and a few levels in some blocks. Output goes to the
// bit-counting null writer, as in analysis passes, so only the syntax work is measured.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "encoder/video/syntax/header_writer.h"
#include "encoder/video/syntax/macroblock_writer.h"
#include "encoder/video/syntax/scan_tables.h"
#include "stream/bit_stream_writer.h"

namespace quillset {
namespace {

constexpr int32_t kMBWidth = 45;
constexpr int32_t kMBHeight = 36;
constexpr int32_t kBlocks = 6;

struct Picture {
    int32_t CodingType = kPictureCodingTypeI;
    std::vector<TMBInfo> Macroblocks;
    std::vector<int16_t> Levels; // kBlocks x 64 per macroblock
};

// Levels with a geometric magnitude and a density falling with the scan position.
void FillBlock(std::mt19937& random, int16_t* block, bool intra, double density) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int32_t i = intra ? 1 : 0; i < 64; ++i) {
        if (unit(random) >= density * std::exp(-i / 12.0))
            continue;
        int32_t magnitude = 1;
        while (unit(random) < 0.45 && magnitude < 60)
            ++magnitude;
        block[kZigzagScan[static_cast<size_t>(i)]] = static_cast<int16_t>(unit(random) < 0.5 ? magnitude : -magnitude);
    }
    if (intra)
        block[0] = static_cast<int16_t>(std::uniform_int_distribution<int32_t>(-60, 60)(random));
}

Picture MakePicture(int32_t codingType) {
    std::mt19937 random(static_cast<uint32_t>(1000 + codingType));
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int32_t> vector(-24, 24);
    Picture p;
    p.CodingType = codingType;
    p.Macroblocks.resize(kMBWidth * kMBHeight);
    p.Levels.assign(p.Macroblocks.size() * kBlocks * 64, 0);
    for (size_t m = 0; m < p.Macroblocks.size(); ++m) {
        TMBInfo& mb = p.Macroblocks[m];
        int16_t* levels = p.Levels.data() + m * kBlocks * 64;
        mb.QuantiserCode = static_cast<uint8_t>(8 + m % 3);
        const bool intra = codingType == kPictureCodingTypeI || unit(random) < 0.05;
        if (intra) {
            mb.Flags = MBInfoFlag_Intra;
            for (int32_t b = 0; b < kBlocks; ++b)
                FillBlock(random, levels + 64 * b, true, b < 4 ? 0.9 : 0.5);
            continue;
        }
        mb.MotionType = MBMotionType_Frame;
        mb.Flags = MBInfoFlag_Forward;
        if (codingType == kPictureCodingTypeB && unit(random) < 0.6)
            mb.Flags = unit(random) < 0.5 ? MBInfoFlag_Forward | MBInfoFlag_Backward : MBInfoFlag_Backward;
        mb.Forward[0].MvX = vector(random);
        mb.Forward[0].MvY = vector(random) / 2;
        mb.Backward[0].MvX = vector(random);
        mb.Backward[0].MvY = vector(random) / 2;
        for (int32_t b = 0; b < kBlocks; ++b)
            if (unit(random) < (codingType == kPictureCodingTypeP ? 0.5 : 0.3))
                FillBlock(random, levels + 64 * b, false, 0.35);
    }
    return p;
}

TMPEGVideoSequenceSyntax Sequence() {
    TMPEGVideoSequenceSyntax s;
    s.IsMPEG2 = true;
    s.Width = 16 * kMBWidth;
    s.Height = 16 * kMBHeight;
    s.MBWidth = kMBWidth;
    s.MBHeight = kMBHeight;
    s.InterlacedCoding = true;
    s.ProgressiveSequence = false;
    return s;
}

void WritePicture(TLargeBitStreamWriter& writer, TMPEGVideoSyntaxState& state, Picture& p) {
    TMPEGVideoPictureHeader header;
    header.PictureCodingType = p.CodingType;
    header.ProgressiveFrame = false;
    header.FCode = {{{3, 3}, {3, 3}}};
    WritePictureHeader(writer, state, header);
    for (int32_t y = 0; y < kMBHeight; ++y)
        for (int32_t x = 0; x < kMBWidth; ++x) {
            const size_t m = static_cast<size_t>(y * kMBWidth + x);
            WriteMacroblock(writer, state, x, y, p.Macroblocks[m], p.Levels.data() + m * kBlocks * 64);
        }
}

void BM_WriteMacroblock(benchmark::State& bench, int32_t codingType) {
    Picture picture = MakePicture(codingType);
    TMPEGVideoSyntaxState state(Sequence());
    auto writer = std::make_unique<TLargeNullBitStreamWriter>();
    int64_t bits = 0;
    for (auto _ : bench) {
        const int64_t before = writer->GetBitPosition();
        WritePicture(*writer, state, picture);
        bits += writer->GetBitPosition() - before;
    }
    const int64_t macroblocks = bench.iterations() * kMBWidth * kMBHeight;
    bench.SetItemsProcessed(macroblocks);
    bench.counters["bits_per_mb"] = benchmark::Counter(static_cast<double>(bits) / static_cast<double>(macroblocks));
}

BENCHMARK_CAPTURE(BM_WriteMacroblock, IntraPicture, kPictureCodingTypeI)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WriteMacroblock, PPicture, kPictureCodingTypeP)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_WriteMacroblock, BPicture, kPictureCodingTypeB)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace quillset
