// Feeds arbitrary bytes to every reader of WAVE files and private Linear PCM streams: the WAVE
// reader, the WAVE-to-LPCM converting stream (read to its end, also in pieces after seeks), the
// LPCM-to-WAVE converting stream and the playback decoder. Only the system's own error classes
// may come out; anything else (a crash, a hang, a sanitizer report, a stray exception) is a fault.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "encoder/audio/lpcm/lpcm_decoder.h"
#include "encoder/audio/lpcm/lpcm_stream_convertors.h"
#include "encoder/audio/lpcm/wave_file.h"
#include "encoder/framework/mpeg_errors.h"
#include "stream/memory_stream.h"

namespace {

using namespace quillset;

void LoadStream(TLargeMemoryStream& stream, const uint8_t* data, size_t size) {
    if (size > 0)
        stream.WriteBuffer(data, static_cast<int32_t>(size));
    stream.SetPosition(0);
}

void ReadWave(const uint8_t* data, size_t size) {
    TLargeMemoryStream stream;
    LoadStream(stream, data, size);
    try {
        TWaveFileReader reader(stream);
        std::vector<uint8_t> buffer(4096);
        const int64_t offsets[] = {-1, 0, reader.GetDataSize() / 2, reader.GetDataSize() - 1, reader.GetDataSize()};
        for (int64_t offset : offsets)
            reader.ReadData(buffer.data(), static_cast<int32_t>(buffer.size()), offset);
        TWavePCMFormat format;
        reader.GetPCMFormat(format);
    } catch (const EWaveFileError&) {
    }
}

void ConvertWaveToLPCM(const uint8_t* data, size_t size) {
    TLargeMemoryStream stream;
    LoadStream(stream, data, size);
    try {
        TWaveFileToLinearPCMStreamConvertor convertor(stream);
        std::vector<uint8_t> buffer(65536);
        int64_t total = 0;
        for (int32_t got; (got = convertor.Read(buffer.data(), static_cast<int32_t>(buffer.size()))) > 0;)
            total += got;
        if (total != convertor.GetSize())
            __builtin_trap();
        // Back and forth across chunk boundaries.
        convertor.Seek(convertor.GetSize() / 3, soFromBeginning);
        convertor.Read(buffer.data(), 777);
        convertor.Seek(7, soFromBeginning);
        convertor.Read(buffer.data(), 5000);
    } catch (const EWaveFileError&) {
    } catch (const EMPEGError&) {
    }
}

void ConvertLPCMToWave(const uint8_t* data, size_t size) {
    TLargeMemoryStream out;
    try {
        TLinearPCMStreamToWaveFileConvertor convertor(out);
        // Uneven pieces, as a multiplexer would hand them over.
        size_t at = 0;
        for (size_t piece = 1; at < size; piece = piece * 3 % 4099 + 1) {
            const size_t n = std::min(piece, size - at);
            convertor.Write(data + at, static_cast<int32_t>(n));
            at += n;
        }
        convertor.Finish();
    } catch (const EWaveFileError&) {
    } catch (const EMPEGError&) {
    }
    // Whatever was written must be a WAVE file the reader accepts or refuses cleanly.
    if (out.GetSize() > 0)
        ReadWave(out.GetMemory(), static_cast<size_t>(out.GetSize()));
}

void DecodeLPCM(const uint8_t* data, size_t size) {
    TLinearPCMStreamDecoder decoder;
    std::vector<uint8_t> out(4097);
    try {
        size_t fed = 0;
        for (int32_t round = 0;; ++round) {
            if (fed < size) {
                int32_t taken = 0;
                decoder.Feed(data + fed, static_cast<int32_t>(std::min<size_t>(size - fed, 3000)), taken);
                fed += static_cast<size_t>(taken);
            }
            int32_t sampleTimes = 0;
            decoder.Decode(round % 2, out.data(), sampleTimes, static_cast<int32_t>(out.size()));
            if (sampleTimes == 0 && fed == size)
                break;
        }
    } catch (const EMPEGError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    ReadWave(data, size);
    ConvertWaveToLPCM(data, size);
    ConvertLPCMToWave(data, size);
    DecodeLPCM(data, size);
    return 0;
}
