// YUV4MPEG2 ("Y4M") input: the uncompressed picture stream of mjpegtools and ffmpeg.
//
// A stream is one header line "YUV4MPEG2 W.. H.. F..:.. I. A..:.. C..." followed by frames, each
// a "FRAME" line (with optional parameters) and the planes Y, Cb, Cr. 4:2:0 (every siting),
// 4:2:2, 4:4:4 and mono 8-bit pictures are read; the reader turns them into the chroma format
// the encoder asks for.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "stream/exceptions.h"

namespace quillset {

class TLargeStream;
class TMPEGVideo_YUVImage;

// A damaged or unsupported YUV4MPEG2 stream; the message says what is wrong.
class EY4MError : public Exception {
public:
    using Exception::Exception;
};

// The stream ends inside a frame: the frames before it are whole.
class EY4MTruncatedError : public EY4MError {
public:
    using EY4MError::EY4MError;
};

enum class TY4MChroma : uint8_t { Yuv420, Yuv422, Yuv444, Mono };
enum class TY4MInterlace : uint8_t { Progressive, TopFieldFirst, BottomFieldFirst, Mixed };

struct TY4MHeader {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t RateNumerator = 0;   // 0/0 when the stream gives no rate
    int32_t RateDenominator = 0;
    int32_t AspectNumerator = 0; // pixel aspect; 0:0 unknown
    int32_t AspectDenominator = 0;
    TY4MInterlace Interlace = TY4MInterlace::Progressive;
    TY4MChroma Chroma = TY4MChroma::Yuv420;

    // Pictures per second, 0 when unknown.
    double FrameRate() const;
    // Bytes of one frame's planes.
    int64_t FrameBytes() const;
};

// Parses the header line (without the trailing newline). Raises EY4MError.
TY4MHeader ParseY4MHeader(const std::string& line);

class TY4MReader {
public:
    // Reads the header from the stream's current position. The stream is read front to back
    // only, so standard input works; it is not owned.
    explicit TY4MReader(TLargeStream& stream);

    const TY4MHeader& Header() const { return HeaderInfo; }

    // The number of frames when the stream's size is known (a file), else -1.
    int64_t FrameCountHint() const { return FrameCount; }

    // Reads the next frame into image, converting its chroma to the image's format (4:2:0 or
    // 4:2:2) and clearing the margin when the image is larger. Returns false at the end of the
    // stream; a frame cut short raises EY4MTruncatedError "Truncated YUV4MPEG2 frame ...".
    bool ReadFrame(TMPEGVideo_YUVImage& image);

    int64_t FramesRead() const { return Frames; }

private:
    std::string ReadLine(size_t limit, bool& atEnd);
    void StoreFrame(TMPEGVideo_YUVImage& image) const;

    TLargeStream& Stream;
    TY4MHeader HeaderInfo;
    int64_t FrameCount = -1;
    int64_t Frames = 0;
    std::vector<uint8_t> FrameBuffer;
};

} // namespace quillset
