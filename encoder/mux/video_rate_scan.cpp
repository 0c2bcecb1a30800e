// The walk over a whole video elementary stream that finds its rates and duration, and the
// reader of the rates the video encoder records in user data.
#include <algorithm>
#include <cstring>
#include <vector>

#include "encoder/framework/mpeg_errors.h"
#include "encoder/mux/elementary_headers.h"
#include "encoder/mux/packetizer_video.h"

namespace quillset {

namespace {

// The 32-bit rate form of the encoder's user data: 15 low bits, marker, 15 high bits, marker.
int32_t ReadRateWord(const uint8_t* p) {
    const uint32_t word = uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
    const uint32_t low = word >> 17 & 0x7FFF;
    const uint32_t high = word >> 1 & 0x7FFF;
    return static_cast<int32_t>(high << 15 | low);
}

// Bytes a start code needs queued behind it before the walk handles it.
constexpr int32_t kWindow = 4096;
constexpr int32_t kReadBlock = 1 << 18;

class TVideoRateWalker {
public:
    TVideoRateWalker(TLargeStream& source, const std::function<void()>& notify) : Source(source), Notify(notify) {}

    TMPEGVideoRateScan Run();

private:
    bool Fill();
    void Handle(size_t at, uint8_t code);

    TLargeStream& Source;
    const std::function<void()>& Notify;
    std::vector<uint8_t> Buffer;
    bool EndOfFile = false;
    TMPEGVideoRateScan Scan;
    bool SequenceSeen = false;
    bool ProgressiveSequence = false;
    bool MaxFromUserData = false;
    bool AvgFromUserData = false;
    int32_t BitRateValue = 0;
    int32_t VBVValue = 0;
    int64_t Fields = 0;
    int32_t CurrentPictureFields = 0;
};

bool TVideoRateWalker::Fill() {
    if (EndOfFile)
        return false;
    const size_t old = Buffer.size();
    Buffer.resize(old + kReadBlock);
    int32_t got = 0;
    while (got < kReadBlock) {
        const int32_t n = Source.Read(Buffer.data() + old + got, kReadBlock - got);
        if (n <= 0) {
            EndOfFile = true;
            break;
        }
        got += n;
    }
    Buffer.resize(old + static_cast<size_t>(got));
    Scan.Length += got;
    return got > 0;
}

void TVideoRateWalker::Handle(size_t at, uint8_t code) {
    const uint8_t* p = Buffer.data() + at + 4;
    const size_t available = Buffer.size() - at - 4;
    if (code == 0xB3 && available >= 8) {
        TMPEGVideoSequenceHeader header;
        ParseMPEGVideoSequenceHeader(p, header);
        if (GetMPEGFrameRate(header.FrameRateCode) <= 0)
            throw EMPEGSystemEncoderError(MPEGError_IllegalVideoStream);
        if (SequenceSeen)
            return;
        SequenceSeen = true;
        Scan.FrameRateCode = header.FrameRateCode;
        Scan.FrameRate = GetMPEGFrameRate(header.FrameRateCode);
        BitRateValue = header.BitRateValue;
        VBVValue = header.VBVBufferSizeValue;
        Scan.VBVSize = VBVValue * 2048;
        if (BitRateValue == 0x3FFFF)
            Scan.VariableRate = true;
        else
            Scan.AverageRate = Scan.MaximumRate = BitRateValue * 400;
    } else if (code == 0xB5 && available >= 6 && (p[0] >> 4) == 1) {
        if (Scan.MPEG2)
            return;
        Scan.MPEG2 = true;
        ProgressiveSequence = (p[1] >> 3 & 1) != 0;
        const int64_t value = static_cast<int64_t>((p[2] & 0x1F) << 7 | p[3] >> 1) << 18 | BitRateValue;
        Scan.VBVSize = (p[4] << 10 | VBVValue) * 2048;
        if (value == (int64_t{1} << 30) - 1) {
            Scan.VariableRate = true;
            if (!MaxFromUserData)
                Scan.MaximumRate = 0;
            if (!AvgFromUserData)
                Scan.AverageRate = 0;
        } else {
            const int32_t rate = static_cast<int32_t>(std::min<int64_t>(value * 400, INT32_MAX));
            if (!MaxFromUserData)
                Scan.MaximumRate = rate;
            if (!AvgFromUserData)
                Scan.AverageRate = rate;
        }
    } else if (code == 0xB5 && available >= 5 && (p[0] >> 4) == 8) {
        const bool topFieldFirst = (p[3] >> 7 & 1) != 0;
        if ((p[3] >> 1 & 1) != 0) {
            const int32_t fields = ProgressiveSequence ? (topFieldFirst ? 6 : 4) : 3;
            Fields += fields - CurrentPictureFields;
            CurrentPictureFields = fields;
        }
    } else if (code == 0xB2) {
        size_t size = 0;
        while (size + 3 <= available && !(p[size] == 0 && p[size + 1] == 0 && p[size + 2] == 1))
            ++size;
        if (size + 3 > available)
            size = available;
        int32_t maximum = 0;
        int32_t average = 0;
        ReadVideoUserDataRates(p, static_cast<int32_t>(size), maximum, average);
        if (maximum > 0) {
            Scan.MaximumRate = maximum;
            MaxFromUserData = true;
        }
        if (average > 0) {
            Scan.AverageRate = average;
            AvgFromUserData = true;
        }
    } else if (code == 0x00) {
        Fields += 2;
        CurrentPictureFields = 2;
        if (++Scan.Pictures % 10 == 0 && Notify)
            Notify();
    }
}

TMPEGVideoRateScan TVideoRateWalker::Run() {
    size_t pos = 0;
    bool first = true;
    Fill();
    for (;;) {
        // Keep a window behind each start code, or run to the end of the file.
        while (!EndOfFile && Buffer.size() - pos < kWindow + 4) {
            if (pos > 0) {
                Buffer.erase(Buffer.begin(), Buffer.begin() + static_cast<std::ptrdiff_t>(pos));
                pos = 0;
            }
            Fill();
        }
        if (pos + 4 > Buffer.size())
            break;
        const uint8_t* b = Buffer.data();
        if (b[pos] == 0 && b[pos + 1] == 0 && b[pos + 2] == 1) {
            const uint8_t code = b[pos + 3];
            if (first && code != 0xB3)
                throw EMPEGSystemEncoderError(MPEGError_IllegalVideoStream);
            first = false;
            Handle(pos, code);
            pos += 4;
            continue;
        }
        if (first && b[pos] != 0)
            throw EMPEGSystemEncoderError(MPEGError_IllegalVideoStream);
        ++pos;
    }
    if (first)
        throw EMPEGSystemEncoderError(MPEGError_IllegalVideoStream);
    if (Scan.FrameRate > 0)
        Scan.Duration = static_cast<long double>(Fields) / (2 * Scan.FrameRate);
    return Scan;
}

} // namespace

void ReadVideoUserDataRates(const uint8_t* data, int32_t size, int32_t& maximumRate, int32_t& averageRate) {
    if (size < 2)
        return;
    const uint32_t type = uint32_t{data[0]} << 8 | data[1];
    if ((type == 0x0081 || type == 0x0082) && size >= 6) {
        (type == 0x0081 ? maximumRate : averageRate) = ReadRateWord(data + 2);
        return;
    }
    if (type != 0x0087)
        return;
    int32_t i = 2;
    while (i < size) {
        const uint8_t tag = data[i++];
        if (tag == 0)
            break;
        if (tag == 0x71 || tag == 0x72) {
            if (i + 4 > size)
                break;
            (tag == 0x71 ? maximumRate : averageRate) = ReadRateWord(data + i);
            i += 4;
        } else if ((tag & 0x80) != 0) {
            if (i + 2 > size)
                break;
            i += 2 + (data[i] << 8 | data[i + 1]);
        } else {
            i += 4;
        }
    }
}

TMPEGVideoRateScan ScanVideoRates(TLargeStream& source, const std::function<void()>& notify) {
    const int64_t saved = source.Seek(0, soFromCurrent);
    source.Seek(0, soFromBeginning);
    TMPEGVideoRateScan scan;
    try {
        TVideoRateWalker walker(source, notify);
        scan = walker.Run();
    } catch (...) {
        source.Seek(saved, soFromBeginning);
        throw;
    }
    source.Seek(saved, soFromBeginning);
    return scan;
}

} // namespace quillset
