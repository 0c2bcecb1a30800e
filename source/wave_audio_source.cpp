#include "source/wave_audio_source.h"

#include <algorithm>
#include <cstring>

#include "encoder/audio/lpcm/wave_file.h"
#include "stream/file_stream.h"

namespace quillset {

namespace {

constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

// The sub-format tag of a WAVE_FORMAT_EXTENSIBLE record (the first two bytes of its GUID).
uint16_t ExtensibleSubFormat(const uint8_t* format, int32_t size) {
    if (size < 26)
        return 0;
    return static_cast<uint16_t>(format[24] | format[25] << 8);
}

} // namespace

TWaveAudioSource::TWaveAudioSource(const std::string& fileName) : FileName(fileName) {
    try {
        File = std::make_unique<TLargeFileStream>(fileName, 0, fmOpenRead | fmShareDenyWrite);
        Reader = std::make_unique<TWaveFileReader>(*File);
    } catch (const Exception& error) {
        throw EAudioSourceError(fileName + ": " + error.what());
    }
    TWavePCMFormat format;
    if (!Reader->GetPCMFormat(format))
        throw EAudioSourceError(fileName + ": Illegal WAVE file");
    uint16_t tag = format.FormatTag;
    if (tag == kWaveFormatExtensible)
        tag = ExtensibleSubFormat(Reader->GetFormat(), Reader->GetFormatSize());
    if (tag != WaveFormatTag_PCM)
        throw EAudioSourceError(FormatText("%s: the sound is not PCM (format tag 0x%04X); use 8- or 16-bit PCM",
                                           fileName.c_str(), format.FormatTag));
    if (format.BitsPerSample != 8 && format.BitsPerSample != 16)
        throw EAudioSourceError(FormatText("%s: %d-bit samples cannot be encoded; use 8- or 16-bit PCM",
                                           fileName.c_str(), format.BitsPerSample));
    if (format.Channels != 1 && format.Channels != 2)
        throw EAudioSourceError(FormatText("%s: %d channels cannot be encoded; use mono or stereo",
                                           fileName.c_str(), format.Channels));
    if (format.SamplesPerSec < 1000 || format.SamplesPerSec > 384000)
        throw EAudioSourceError(FormatText("%s: a sampling frequency of %u Hz cannot be encoded",
                                           fileName.c_str(), format.SamplesPerSec));
    Frequency = static_cast<int32_t>(format.SamplesPerSec);
    Channels = format.Channels;
    SampleFormat = format.BitsPerSample == 8 ? AudioSampleFormat_8Bit : AudioSampleFormat_16Bit;
    BlockAlign = Channels * (format.BitsPerSample / 8);
    SampleCount = Reader->GetDataSize() / BlockAlign;
}

TWaveAudioSource::~TWaveAudioSource() = default;

TMPEGAudioEncoder_Samples TWaveAudioSource::ReadBlock(int64_t first, int32_t count) {
    count = std::max(count, 0);
    Buffer.resize(static_cast<size_t>(count) * BlockAlign);
    int64_t got = 0;
    if (first < SampleCount) {
        const int32_t wanted = static_cast<int32_t>(std::min<int64_t>(count, SampleCount - first)) * BlockAlign;
        got = Reader->ReadData(Buffer.data(), wanted, first * BlockAlign);
        got -= got % BlockAlign;
    }
    // Silence after the end of the file (and where a read came up short).
    const uint8_t silence = SampleFormat == AudioSampleFormat_8Bit ? 128 : 0;
    std::memset(Buffer.data() + got, silence, Buffer.size() - static_cast<size_t>(got));
    TMPEGAudioEncoder_Samples block;
    block.SampleFormat = SampleFormat;
    block.SamplingFrequency = Frequency;
    block.Channels = Channels;
    block.Data = Buffer.data();
    block.Count = count;
    return block;
}

} // namespace quillset
