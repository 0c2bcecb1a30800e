#include "plugins/ac3sube/ac3sube.h"

#include <gtest/gtest.h>

#include <vector>

#include "plugins/ac3sube/ac3_tables.h"
#include "plugins/ac3sube/tests/ac3_test_signals.h"

namespace quillset::ac3sube {
namespace {

// A caller's frame: 1536 sample times of six interleaved slots, as the program lays them out.
class EntryCaller {
public:
    EntryCaller() : Samples(kSamplesPerFrame * 6, 0.0), Output(AC3Sub_MaxFrameWords, 0) {
        for (int slot = 0; slot < 6; ++slot)
            Slots[slot] = Samples.data() + slot;
    }

    void Fill(int slot, const std::vector<double>& signal) {
        for (int t = 0; t < kSamplesPerFrame; ++t)
            Samples[t * 6 + slot] = signal[t];
    }

    TAC3SubEncodeParameters Parameters(int fscod, int acmod, int rateIndex, int extraWord = 0) {
        TAC3SubEncodeParameters p{};
        p.Count = AC3Sub_ParameterCount;
        p.ChannelInputs = Slots;
        p.Strides = Strides;
        p.Offsets = Offsets;
        p.CodingWord = static_cast<uint16_t>(fscod * 4096 + acmod);
        p.Output = Output.data();
        p.FrameSizeCode = static_cast<uint16_t>(2 * rateIndex * 256 + extraWord);
        return p;
    }

    // Runs a request; returns the status record.
    TAC3SubStatus Call(uint16_t command, const void* parameters) {
        TAC3SubReply reply{};
        dolby_sub(TAC3SubRequest{command, 0, parameters, 0}, &reply);
        EXPECT_NE(reply.Status, nullptr);
        return *reply.Status;
    }

    std::vector<double> Samples;
    std::vector<uint16_t> Output;
    const double* Slots[6];
    const uint16_t Strides[6] = {6, 6, 6, 6, 6, 6};
    const uint16_t Offsets[6] = {0, 0, 0, 0, 0, 0};
};

// Every coding mode at every frequency and bit rate: the reply counts the words of the
// syncframe of that frame size code, and the header says so.
TEST(AC3SubEntryTest, EncodesEveryModeAndRate) {
    EntryCaller caller;
    caller.Fill(0, testing::Noise(kSamplesPerFrame, 1));
    caller.Fill(1, testing::Noise(kSamplesPerFrame, 2));
    caller.Fill(2, testing::Noise(kSamplesPerFrame, 3));
    caller.Call(AC3Sub_Command_Initialize, nullptr);
    for (int fscod = 0; fscod < 3; ++fscod) {
        for (int acmod = 0; acmod < 3; ++acmod) {
            for (int rate = 0; rate < kRateCount; ++rate) {
                const int extra = fscod == 1 ? rate & 1 : 0;
                const TAC3SubEncodeParameters p = caller.Parameters(fscod, acmod, rate, extra);
                const TAC3SubStatus status = caller.Call(AC3Sub_Command_EncodeFrame, &p);
                SCOPED_TRACE(::testing::Message() << "fscod " << fscod << " acmod " << acmod << " rate " << rate);
                ASSERT_EQ(status.Result, AC3Sub_Status_OK);
                ASSERT_EQ(status.WordCount, FrameSizeWords(fscod, 2 * rate + extra));
                EXPECT_EQ(caller.Output[0], 0x0b77);
                EXPECT_EQ(caller.Output[2] >> 8, fscod << 6 | (2 * rate + extra));
                EXPECT_EQ(caller.Output[3] >> 13, acmod);
            }
        }
    }
}

TEST(AC3SubEntryTest, RefusesBadRequests) {
    EntryCaller caller;
    TAC3SubEncodeParameters good = caller.Parameters(0, 2, 15);
    struct Case {
        const char* name;
        uint16_t command;
        bool parameters;
        void (*spoil)(TAC3SubEncodeParameters&);
        uint16_t result;
    } cases[] = {
        {"unknown command", 5, true, [](TAC3SubEncodeParameters&) {}, AC3Sub_Status_UnknownCommand},
        {"no block", AC3Sub_Command_EncodeFrame, false, [](TAC3SubEncodeParameters&) {}, AC3Sub_Status_BadParameters},
        {"count", AC3Sub_Command_EncodeFrame, true, [](TAC3SubEncodeParameters& p) { p.Count = 9; },
         AC3Sub_Status_BadParameters},
        {"no output", AC3Sub_Command_EncodeFrame, true, [](TAC3SubEncodeParameters& p) { p.Output = nullptr; },
         AC3Sub_Status_BadParameters},
        {"reserved fscod", AC3Sub_Command_EncodeFrame, true,
         [](TAC3SubEncodeParameters& p) { p.CodingWord = 3 * 4096 + 2; }, AC3Sub_Status_Unsupported},
        {"3/2 mode", AC3Sub_Command_EncodeFrame, true, [](TAC3SubEncodeParameters& p) { p.CodingWord = 7; },
         AC3Sub_Status_Unsupported},
        {"frame size", AC3Sub_Command_EncodeFrame, true,
         [](TAC3SubEncodeParameters& p) { p.FrameSizeCode = 2 * 19 * 256; }, AC3Sub_Status_Unsupported},
    };
    for (const Case& c : cases) {
        TAC3SubEncodeParameters p = good;
        c.spoil(p);
        const TAC3SubStatus status = caller.Call(c.command, c.parameters ? &p : nullptr);
        EXPECT_EQ(status.Result, c.result) << c.name;
        EXPECT_EQ(status.WordCount, 0) << c.name;
    }
    // The encoder still works after refusals, and a null reply address is allowed.
    dolby_sub(TAC3SubRequest{AC3Sub_Command_EncodeFrame, 0, &good, 0}, nullptr);
    EXPECT_EQ(caller.Call(AC3Sub_Command_EncodeFrame, &good).WordCount, 896);
}

// Initialisation starts a new stream: the same input gives the same frame again, while without
// it the second frame carries the first frame's overlap.
TEST(AC3SubEntryTest, InitialisationStartsAFreshStream) {
    EntryCaller caller;
    caller.Fill(0, testing::Noise(kSamplesPerFrame, 4));
    caller.Fill(2, testing::Noise(kSamplesPerFrame, 5));
    const TAC3SubEncodeParameters p = caller.Parameters(0, 2, 12);
    caller.Call(AC3Sub_Command_Initialize, nullptr);
    caller.Call(AC3Sub_Command_EncodeFrame, &p);
    const std::vector<uint16_t> first = caller.Output;
    caller.Call(AC3Sub_Command_EncodeFrame, &p);
    EXPECT_NE(caller.Output, first);
    caller.Call(AC3Sub_Command_Initialize, nullptr);
    caller.Call(AC3Sub_Command_EncodeFrame, &p);
    EXPECT_EQ(caller.Output, first);
}

} // namespace
} // namespace quillset::ac3sube
