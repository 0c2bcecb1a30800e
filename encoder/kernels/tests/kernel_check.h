// The kernel check: every slot a processor step replaces is run against the reference on the
// same seeded random and extreme inputs and must give identical results and identical bytes
// around its outputs. Checkers are grouped by family; each registers itself by slot index.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <string>

#include "encoder/kernels/kernel_table.h"
#include "encoder/kernels/tests/kernel_test_support.h"

namespace quillset::testing {

// One slot's run: the random source (seeded per slot), the label naming slot, set and seed, and
// the first failure.
class TCheckRun {
public:
    TCheckRun(std::string label, uint32_t seed) : Rng(seed), label_(std::move(label)) {}

    std::mt19937 Rng;
    int Trial = 0;

    int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(Rng); }
    float UniformF(float low, float high) { return std::uniform_real_distribution<float>(low, high)(Rng); }
    bool Chance(int percent) { return Uniform(0, 99) < percent; }

    // Records the first mismatch of the slot with the trial's input description; returns `same`.
    bool Expect(bool same, const std::string& input, const std::string& detail);
    bool Failed() const { return failed_; }

private:
    std::string label_;
    bool failed_ = false;
};

using TChecker = std::function<void(const TKernelTable& reference, const TKernelTable& tested, TCheckRun& run)>;
using TCheckerMap = std::map<int, TChecker>;

void AddBlockCheckers(TCheckerMap& checkers);   // slots 1-57, 80-85
void AddCodingCheckers(TCheckerMap& checkers);  // slots 59-79, 86-90
void AddPictureCheckers(TCheckerMap& checkers); // slots 91-117

// Byte fills: uniform random, all 0, all 255, or a random mix of 0 and 255.
enum class TFill { Random, Zero, Full, Extremes };

// A fill for input `which` (0, 1, ...) of a trial: the first trials pair the extremes (one input
// all 255 and the other all 0, then the reverse, then random extremes), later trials are mostly
// random with occasional extremes.
TFill PickFill(TCheckRun& run, int which);
void FillBytes(uint8_t* p, size_t count, TFill fill, TCheckRun& run);

// A picture area of `rows` rows of `width` bytes with a signed pitch, inside a guarded buffer.
struct TPlane {
    TPlane(int rows, int width, int pitch, size_t misalign);
    TPlane(const TPlane& other) = default;

    uint8_t* Row0() { return Buffer.Data() + origin; }
    TGuardedBuffer Buffer;
    size_t origin;
};

// A pitch for rows of at least `width` bytes: mostly odd or unusual, sometimes negative.
int PickPitch(TCheckRun& run, int width, bool allowNegative);

} // namespace quillset::testing
