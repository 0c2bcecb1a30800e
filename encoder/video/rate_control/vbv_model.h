// The video buffering verifier model of the encoder (ISO/IEC 13818-2, Annex C): the fullness of
// the decoder's buffer at each picture removal, the vbv_delay of each picture header, and the
// bit limits that keep the next picture from emptying or overflowing the buffer.
//
// The model is a plain value: the trial coding of a pass's first picture runs on a copy with
// Silent set, so that it reports nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "encoder/video/encoder_settings.h"
#include "stream/bit_stream_writer.h"

namespace quillset {

class TMPEGVideoEncoder_VBVModel {
public:
    // Receives an underflow or overflow: the log line; the receiver counts the error.
    using TErrorEvent = std::function<void(const std::string& text)>;

    TMPEGVideoEncoder_VBVModel() = default;
    explicit TMPEGVideoEncoder_VBVModel(const TMPEGVideoEncoder_Settings& settings);

    // Pass start: the buffer holds int(size x 0.875) bytes (0.99 with VBVFullnessHigh), the clock
    // the time those bytes took to arrive; nothing was removed yet.
    void Reset();

    // 90 kHz ticks a picture is displayed: 90000 x (1 or 1.5 with repeat_first_field) / nominal rate.
    double PictureDuration(bool repeatFirstField) const;

    // The bit limits of the next picture, adjusted in place: target (at least 400 on return) and
    // minimum (0 = none). With a minimum rate and padding, zero bytes that keep the buffer from
    // overflowing are written to `writer` first (byte-aligned).
    void LimitPicture(TLargeBitStreamWriter& writer, uint8_t pictureType, bool repeatFirstField, int64_t& target,
                      int64_t& minimum) const;

    // At a picture header (before any header of the picture is written, `bitPosition` the
    // writer's position there): removes the previous picture's bytes, advances the clock, adds
    // the bytes that arrive until this picture's removal, and returns its vbv_delay (0xFFFF in
    // the variable-rate modes).
    int32_t PictureHeader(uint8_t pictureType, bool repeatFirstField, int64_t bitPosition);

    double GetFullness() const { return Fullness; }
    double GetClock() const { return Clock; }
    int32_t GetBufferSize() const { return BufferSize; }
    // Bytes above the buffer size at the last picture header (0 when none).
    int32_t GetLastOverflow() const { return LastOverflow; }

    bool Silent = false; // no error reports (trial coding)
    TErrorEvent OnError;

private:
    // Ticks from the previous removal to the removal of a picture of this type.
    double TimeToRemoval(uint8_t pictureType, bool repeatFirstField) const;
    void Report(const char* format);

    bool ConstantRate = false;
    bool Padding = false;
    double MaxRate = 0;
    double MinRate = 0;
    int32_t BufferSize = 0;
    double StartFullness = 0.875;
    double NominalRate = 30.0;

    double Fullness = 0;           // bytes
    double Clock = 0;              // 90 kHz ticks
    int64_t LastRemovalBits = 0;   // writer position at the last removal
    double ReferenceDuration = 0;  // ticks stored by the last I or P picture
    int32_t LastOverflow = 0;
};

} // namespace quillset
