// The window of the polyphase analysis filterbank (ISO/IEC 11172-3, Annex C, Table C.1).
#pragma once

#include <cstdint>

namespace quillset::mpa {

constexpr int32_t kAnalysisWindowLength = 512;

// The coefficients C[i] are whole multiples of 2^-21 (the table's nine decimals are those
// multiples rounded); they are kept as the integers C[i] x 2^21 so that no digit is lost.
extern const int32_t kAnalysisWindowScaled[kAnalysisWindowLength];
constexpr double kAnalysisWindowUnit = 1.0 / 2097152.0; // 2^-21

inline double AnalysisWindow(int32_t i) { return kAnalysisWindowScaled[i] * kAnalysisWindowUnit; }

} // namespace quillset::mpa
