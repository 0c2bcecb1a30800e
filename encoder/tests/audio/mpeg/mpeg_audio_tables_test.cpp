// The standard's tables checked against values printed in ISO/IEC 11172-3, and the structure
// that catches a slipped digit or row (window symmetry, monotone scalefactors, row widths).
#include "encoder/audio/mpeg/mpeg_audio_tables.h"

#include <gtest/gtest.h>

#include <cmath>

#include "encoder/audio/mpeg/analysis_window.h"
#include "encoder/audio/mpeg/psyc_tables.h"

namespace quillset::mpa {
namespace {

TEST(MPEGAudioTablesTest, AnalysisWindowKnownValuesAndSymmetry) {
    struct Known {
        int32_t index;
        double value;
    };
    for (const Known& k : {Known{0, 0.0}, Known{1, -0.000000477}, Known{63, -0.000099182}, Known{64, 0.000101566},
                           Known{128, 0.000971317}, Known{192, 0.003134727}, Known{255, -0.035758972},
                           Known{256, 0.035780907}, Known{384, 0.000971317}, Known{511, 0.000000477}})
        EXPECT_NEAR(AnalysisWindow(k.index), k.value, 5e-10) << "C[" << k.index << "]";
    // The prototype filter is symmetric: |C[i]| = |C[512 - i]|, which catches a mistyped entry.
    for (int32_t i = 1; i < 256; ++i)
        EXPECT_EQ(std::abs(kAnalysisWindowScaled[i]), std::abs(kAnalysisWindowScaled[512 - i])) << i;
}

TEST(MPEGAudioTablesTest, ScalefactorsFallByAThirdOfAnOctave) {
    EXPECT_DOUBLE_EQ(kScalefactors[0], 2.0);
    EXPECT_DOUBLE_EQ(kScalefactors[3], 1.0);
    EXPECT_NEAR(kScalefactors[1], 1.58740105196820, 1e-14);
    EXPECT_NEAR(kScalefactors[62], 0.00000120155435, 1e-14);
    for (int32_t i = 3; i < kScalefactorCount; ++i)
        EXPECT_NEAR(kScalefactors[i] * 2.0, kScalefactors[i - 3], 1e-13) << i;
}

TEST(MPEGAudioTablesTest, ScalefactorIndexIsTheSmallestEntryNotBelowThePeak) {
    struct Case {
        double magnitude;
        int32_t index;
    };
    for (const Case& c : {Case{0.0, 62}, Case{1e-9, 62}, Case{0.00000120155435, 62}, Case{0.0000013, 61},
                          Case{1.0, 3}, Case{1.0000001, 2}, Case{0.99, 3}, Case{2.0, 0}, Case{2.5, 0}})
        EXPECT_EQ(ScalefactorIndexOf(c.magnitude), c.index) << c.magnitude;
    for (int32_t i = 0; i < kScalefactorCount; ++i)
        EXPECT_EQ(ScalefactorIndexOf(kScalefactors[i]), i);
}

TEST(MPEGAudioTablesTest, QuantisationClasses) {
    struct Case {
        int32_t steps, bits, perCodeword;
        double snr, a, b;
    };
    for (const Case& c : {Case{3, 5, 3, 7.00, 0.75, -0.25}, Case{5, 7, 3, 11.00, 0.625, -0.375},
                          Case{7, 3, 1, 16.00, 0.875, -0.125}, Case{9, 10, 3, 20.84, 0.5625, -0.4375},
                          Case{15, 4, 1, 25.28, 0.9375, -0.0625}, Case{1023, 10, 1, 61.96, 0.9990234375, -0.0009765625},
                          Case{65535, 16, 1, 98.01, 0.9999847412109375, -0.0000152587890625}}) {
        const QuantClass* q = FindQuantClass(c.steps);
        ASSERT_NE(q, nullptr) << c.steps;
        EXPECT_EQ(q->CodewordBits, c.bits) << c.steps;
        EXPECT_EQ(q->SamplesPerCodeword, c.perCodeword) << c.steps;
        EXPECT_DOUBLE_EQ(q->SNR, c.snr) << c.steps;
        EXPECT_DOUBLE_EQ(q->A, c.a) << c.steps;
        EXPECT_DOUBLE_EQ(q->B, c.b) << c.steps;
    }
    // A grouped codeword must hold steps^3 values.
    for (const QuantClass& q : kQuantClasses) {
        if (q.SamplesPerCodeword == 3) {
            EXPECT_LE(q.Steps * q.Steps * q.Steps, 1 << q.CodewordBits) << q.Steps;
        }
    }
}

TEST(MPEGAudioTablesTest, Layer1Classes) {
    EXPECT_EQ(Layer1Class(1).Steps, 3);
    EXPECT_EQ(Layer1Class(1).CodewordBits, 2);
    EXPECT_DOUBLE_EQ(Layer1Class(1).SNR, 7.00);
    EXPECT_EQ(Layer1Class(14).Steps, 32767);
    EXPECT_EQ(Layer1Class(14).CodewordBits, 15);
    EXPECT_DOUBLE_EQ(Layer1Class(14).SNR, 92.01);
    EXPECT_DOUBLE_EQ(Layer1Class(4).A, 31.0 / 32);
}

TEST(MPEGAudioTablesTest, AllocationTableChoice) {
    struct Case {
        int32_t frequency, kbpsPerChannel;
        char table;
    };
    for (const Case& c : {Case{48000, 32, 'c'}, Case{48000, 48, 'c'}, Case{48000, 56, 'a'}, Case{48000, 192, 'a'},
                          Case{44100, 32, 'c'}, Case{44100, 80, 'a'}, Case{44100, 96, 'b'}, Case{44100, 112, 'b'},
                          Case{44100, 192, 'b'}, Case{32000, 32, 'd'}, Case{32000, 48, 'd'}, Case{32000, 64, 'a'},
                          Case{32000, 160, 'b'}})
        EXPECT_EQ(SelectAllocationTable(c.frequency, c.kbpsPerChannel * 1000).Name, c.table)
            << c.frequency << " Hz " << c.kbpsPerChannel << " kbit/s";
}

TEST(MPEGAudioTablesTest, AllocationTableRows) {
    auto steps = [](const AllocationTable& t, int32_t sb, int32_t value) {
        return kQuantClasses[t.Rows[sb].Classes[value]].Steps;
    };
    const AllocationTable& a = SelectAllocationTable(48000, 96000);
    const AllocationTable& b = SelectAllocationTable(44100, 96000);
    const AllocationTable& c = SelectAllocationTable(48000, 32000);
    const AllocationTable& d = SelectAllocationTable(32000, 32000);
    EXPECT_EQ(a.SBLimit, 27);
    EXPECT_EQ(b.SBLimit, 30);
    EXPECT_EQ(c.SBLimit, 8);
    EXPECT_EQ(d.SBLimit, 12);
    // Table B.2a/b: 4-bit fields below subband 11, 3-bit to 22, 2-bit above.
    EXPECT_EQ(a.Rows[0].FieldBits, 4);
    EXPECT_EQ(steps(a, 0, 1), 3);
    EXPECT_EQ(steps(a, 0, 2), 7);
    EXPECT_EQ(steps(a, 2, 15), 65535);
    EXPECT_EQ(steps(a, 3, 2), 5);
    EXPECT_EQ(steps(a, 10, 4), 9);
    EXPECT_EQ(steps(a, 10, 14), 8191);
    EXPECT_EQ(steps(a, 10, 15), 65535);
    EXPECT_EQ(a.Rows[11].FieldBits, 3);
    EXPECT_EQ(steps(a, 22, 7), 65535);
    EXPECT_EQ(a.Rows[23].FieldBits, 2);
    EXPECT_EQ(steps(b, 29, 3), 65535);
    EXPECT_EQ(b.Rows[30].FieldBits, 0);
    // Tables B.2c/d: no 7-step class.
    EXPECT_EQ(steps(c, 1, 3), 9);
    EXPECT_EQ(steps(c, 1, 15), 32767);
    EXPECT_EQ(c.Rows[2].FieldBits, 3);
    EXPECT_EQ(steps(d, 11, 7), 127);
    for (const AllocationTable* t : {&a, &b, &c, &d})
        for (int32_t sb = 0; sb < t->SBLimit; ++sb)
            EXPECT_EQ(t->Rows[sb].Entries, 1 << t->Rows[sb].FieldBits) << t->Name << sb;
}

TEST(MPEGAudioTablesTest, SamplingFrequencyCodes) {
    EXPECT_EQ(SamplingFrequencyCode(44100), 0);
    EXPECT_EQ(SamplingFrequencyCode(48000), 1);
    EXPECT_EQ(SamplingFrequencyCode(32000), 2);
    EXPECT_EQ(SamplingFrequencyCode(22050), -1);
}

// ---- psychoacoustic model 2 ---------------------------------------------------------------------

TEST(PsycTablesTest, PartitionsOfAThirdOfABark) {
    struct Case {
        int32_t frequency, count;
        double bark1, bark2; // the second and third partition's Bark values
    };
    for (const Case& c : {Case{48000, 63, 0.469, 0.938}, Case{44100, 63, 0.431, 0.861}, Case{32000, 59, 0.781, 1.406}}) {
        const PsycPartitions p = BuildPsycPartitions(c.frequency);
        EXPECT_EQ(p.Count, c.count) << c.frequency;
        EXPECT_NEAR(p.Bark[1], c.bark1, 0.001) << c.frequency;
        EXPECT_NEAR(p.Bark[2], c.bark2, 0.001) << c.frequency;
        int32_t lines = 0;
        for (int32_t b = 0; b < p.Count; ++b) {
            EXPECT_EQ(p.FirstLine[b], lines) << c.frequency << " partition " << b;
            lines += p.LineCount[b];
            if (b > 0) {
                EXPECT_GT(p.Bark[b], p.Bark[b - 1]);
            }
        }
        EXPECT_EQ(lines, kPsycLines) << c.frequency;
    }
}

TEST(PsycTablesTest, BarkScaleAndMaskingValues) {
    EXPECT_DOUBLE_EQ(BarkOf(0.0), 0.0);
    EXPECT_DOUBLE_EQ(BarkOf(100.0), 1.0);
    EXPECT_DOUBLE_EQ(BarkOf(1000.0), 8.5);
    EXPECT_DOUBLE_EQ(BarkOf(20250.0), 24.5);
    EXPECT_DOUBLE_EQ(MinimumSNROfBark(0), 20.0);
    EXPECT_DOUBLE_EQ(MinimumSNROfBark(5), 17.0);
    EXPECT_DOUBLE_EQ(MinimumSNROfBark(9), 4.4);
    EXPECT_DOUBLE_EQ(MinimumSNROfBark(26), 3.5);
    EXPECT_DOUBLE_EQ(ToneMaskingNoise(2.0), 24.5);
    EXPECT_DOUBLE_EQ(ToneMaskingNoise(20.0), 35.5);
}

TEST(PsycTablesTest, SpreadingFallsFasterDownwardThanUpward) {
    EXPECT_NEAR(10.0 * std::log10(SpreadingFunction(10.0, 10.0)), 0.0, 0.01);
    const double up = SpreadingFunction(10.0, 12.0);   // onto higher frequencies
    const double down = SpreadingFunction(10.0, 8.0);  // onto lower frequencies
    EXPECT_GT(up, down * 10.0); // about -18 dB against -30 dB at 2 Bark
    EXPECT_EQ(SpreadingFunction(10.0, 2.0), 0.0); // below -100 dB
}

TEST(PsycTablesTest, ThresholdInQuietAtTheTablesLines) {
    struct Case {
        int32_t frequency, line;
        double db;
    };
    for (const Case& c : {Case{44100, 1, 45.05}, Case{44100, 48, -0.56}, Case{44100, 50, -0.96},
                          Case{44100, 78, -4.98}, Case{44100, 200, 6.15}, Case{44100, 464, 68.00},
                          Case{48000, 1, 42.10}, Case{48000, 96, -1.24}, Case{48000, 432, 68.00},
                          Case{32000, 2, 33.44}, Case{32000, 480, 51.04}})
        EXPECT_NEAR(QuietThresholdDb(c.frequency, c.line), c.db, 1e-5) << c.frequency << " line " << c.line;
    // Between the table's lines the value is interpolated.
    EXPECT_NEAR(QuietThresholdDb(44100, 49), (-0.56 - 0.96) / 2, 1e-5);
    EXPECT_NEAR(QuietThresholdDb(44100, 0), 45.05, 1e-5);
    EXPECT_NEAR(QuietThresholdDb(44100, 512), 68.00, 1e-5);
}

} // namespace
} // namespace quillset::mpa
