#include "source/y4m_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "encoder/framework/yuv_image.h"
#include "stream/large_stream.h"

namespace quillset {

namespace {

constexpr size_t kHeaderLimit = 4096;  // a header line longer than this is not a Y4M header
constexpr int32_t kMaxDimension = 16384;

// "N:D" with positive parts (0:0 allowed for unknown).
bool ParseRatio(const std::string& text, int32_t& numerator, int32_t& denominator) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size())
        return false;
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (end != text.c_str() + colon)
        return false;
    const long d = std::strtol(text.c_str() + colon + 1, &end, 10);
    if (*end != '\0' || n < 0 || d < 0 || n > INT32_MAX || d > INT32_MAX)
        return false;
    numerator = static_cast<int32_t>(n);
    denominator = static_cast<int32_t>(d);
    return true;
}

bool ParseDimension(const std::string& text, int32_t& value) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v <= 0 || v > kMaxDimension)
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

bool ParseChroma(const std::string& text, TY4MChroma& chroma) {
    if (text == "420" || text == "420jpeg" || text == "420mpeg2" || text == "420paldv")
        chroma = TY4MChroma::Yuv420;
    else if (text == "422")
        chroma = TY4MChroma::Yuv422;
    else if (text == "444")
        chroma = TY4MChroma::Yuv444;
    else if (text == "mono")
        chroma = TY4MChroma::Mono;
    else
        return false;
    return true;
}

[[noreturn]] void Fail(const std::string& what) {
    throw EY4MError("Illegal YUV4MPEG2 stream: " + what);
}

// Averages two sample rows into one (rounded), for vertical chroma reduction.
void AverageRows(const uint8_t* a, const uint8_t* b, uint8_t* out, int32_t width) {
    for (int32_t x = 0; x < width; ++x)
        out[x] = static_cast<uint8_t>((a[x] + b[x] + 1) >> 1);
}

} // namespace

double TY4MHeader::FrameRate() const {
    return RateNumerator > 0 && RateDenominator > 0 ? static_cast<double>(RateNumerator) / RateDenominator : 0.0;
}

int64_t TY4MHeader::FrameBytes() const {
    const int64_t luma = int64_t{Width} * Height;
    const int64_t chromaWidth = (Width + 1) / 2;
    switch (Chroma) {
    case TY4MChroma::Yuv420:
        return luma + 2 * chromaWidth * ((Height + 1) / 2);
    case TY4MChroma::Yuv422:
        return luma + 2 * chromaWidth * Height;
    case TY4MChroma::Yuv444:
        return 3 * luma;
    case TY4MChroma::Mono:
        return luma;
    }
    return luma;
}

TY4MHeader ParseY4MHeader(const std::string& line) {
    if (line.compare(0, 10, "YUV4MPEG2 ") != 0 && line != "YUV4MPEG2")
        Fail("the file does not start with \"YUV4MPEG2\"");
    TY4MHeader header;
    size_t position = 9;
    while (position < line.size()) {
        while (position < line.size() && line[position] == ' ')
            ++position;
        if (position >= line.size())
            break;
        const size_t end = std::min(line.find(' ', position), line.size());
        const char tag = line[position];
        const std::string value = line.substr(position + 1, end - position - 1);
        position = end;
        bool ok = true;
        switch (tag) {
        case 'W':
            ok = ParseDimension(value, header.Width);
            break;
        case 'H':
            ok = ParseDimension(value, header.Height);
            break;
        case 'F':
            ok = ParseRatio(value, header.RateNumerator, header.RateDenominator);
            break;
        case 'A':
            ok = ParseRatio(value, header.AspectNumerator, header.AspectDenominator);
            break;
        case 'I':
            if (value == "p")
                header.Interlace = TY4MInterlace::Progressive;
            else if (value == "t")
                header.Interlace = TY4MInterlace::TopFieldFirst;
            else if (value == "b")
                header.Interlace = TY4MInterlace::BottomFieldFirst;
            else if (value == "m")
                header.Interlace = TY4MInterlace::Mixed;
            else
                ok = value == "?";
            break;
        case 'C':
            ok = ParseChroma(value, header.Chroma);
            if (!ok)
                Fail("colour space \"" + value + "\" is not supported (8-bit 420, 422, 444 and mono are)");
            break;
        default: // X comments and future tags are ignored
            break;
        }
        if (!ok)
            Fail(std::string("bad value \"") + value + "\" of " + tag);
    }
    if (header.Width == 0 || header.Height == 0)
        Fail("the header gives no picture size");
    return header;
}

TY4MReader::TY4MReader(TLargeStream& stream) : Stream(stream) {
    bool atEnd = false;
    const std::string line = ReadLine(kHeaderLimit, atEnd);
    if (atEnd)
        Fail("the stream is empty or has no header line");
    HeaderInfo = ParseY4MHeader(line);
    FrameBuffer.resize(static_cast<size_t>(HeaderInfo.FrameBytes()));
    int64_t position = 0;
    int64_t size = 0;
    Stream.GetPositionAndSize(position, size);
    const int64_t perFrame = HeaderInfo.FrameBytes() + 6; // "FRAME\n"
    if (position >= 0 && size > position)
        FrameCount = (size - position) / perFrame;
}

std::string TY4MReader::ReadLine(size_t limit, bool& atEnd) {
    std::string line;
    atEnd = false;
    for (;;) {
        char c;
        if (Stream.Read(&c, 1) != 1) {
            atEnd = line.empty();
            if (!atEnd)
                Fail("the stream ends inside a header line");
            return line;
        }
        if (c == '\n')
            return line;
        if (line.size() >= limit)
            Fail("a header line is too long");
        line += c;
    }
}

bool TY4MReader::ReadFrame(TMPEGVideo_YUVImage& image) {
    bool atEnd = false;
    const std::string line = ReadLine(kHeaderLimit, atEnd);
    if (atEnd)
        return false;
    if (line.compare(0, 5, "FRAME") != 0 || (line.size() > 5 && line[5] != ' '))
        Fail(FormatText("frame %lld does not start with \"FRAME\"", static_cast<long long>(Frames + 1)));
    auto* bytes = FrameBuffer.data();
    int64_t done = 0;
    const int64_t total = static_cast<int64_t>(FrameBuffer.size());
    while (done < total) {
        const int32_t got = Stream.Read(bytes + done, static_cast<int32_t>(std::min<int64_t>(total - done, 1 << 20)));
        if (got <= 0)
            throw EY4MTruncatedError(FormatText("Truncated YUV4MPEG2 frame %lld: %lld of %lld bytes",
                                       static_cast<long long>(Frames + 1), static_cast<long long>(done),
                                       static_cast<long long>(total)));
        done += got;
    }
    StoreFrame(image);
    ++Frames;
    return true;
}

void TY4MReader::StoreFrame(TMPEGVideo_YUVImage& image) const {
    const TY4MHeader& h = HeaderInfo;
    const TMPEGVideo_YUVImageFormat& f = image.Format;
    if (h.Width > image.LumaStride || h.Height > image.LumaHeight)
        throw EY4MError(FormatText("The YUV4MPEG2 pictures are %dx%d; the encoder takes %dx%d", h.Width, h.Height,
                                   f.PictureWidth, f.PictureHeight));
    // Black margins where the encoder's planes are larger than the picture.
    std::memset(image.Y, 0, static_cast<size_t>(image.LumaStride) * image.LumaHeight);
    std::memset(image.Cb, 128, static_cast<size_t>(image.ChromaStride) * image.ChromaHeight * 2);
    const uint8_t* y = FrameBuffer.data();
    for (int32_t row = 0; row < h.Height; ++row)
        std::memcpy(image.LumaRow(row), y + int64_t{row} * h.Width, static_cast<size_t>(h.Width));
    if (h.Chroma == TY4MChroma::Mono)
        return;

    // Source chroma planes and their geometry.
    const int32_t srcWidth = h.Chroma == TY4MChroma::Yuv444 ? h.Width : (h.Width + 1) / 2;
    const int32_t srcHeight = h.Chroma == TY4MChroma::Yuv420 ? (h.Height + 1) / 2 : h.Height;
    const uint8_t* planes[2] = {y + int64_t{h.Width} * h.Height, nullptr};
    planes[1] = planes[0] + int64_t{srcWidth} * srcHeight;
    const bool to420 = f.ChromaFormat == 1;
    const int32_t outWidth = std::min((h.Width + 1) / 2, image.ChromaStride);
    const int32_t outHeight = std::min(to420 ? (h.Height + 1) / 2 : h.Height, image.ChromaHeight);
    std::vector<uint8_t> row(static_cast<size_t>(srcWidth));
    std::vector<uint8_t> narrow(static_cast<size_t>(outWidth));

    for (int plane = 0; plane < 2; ++plane) {
        // A source row narrowed to the output width (4:4:4 pairs are averaged).
        auto sourceRow = [&](int32_t r, uint8_t* out) {
            const uint8_t* src = planes[plane] + int64_t{std::min(r, srcHeight - 1)} * srcWidth;
            if (h.Chroma != TY4MChroma::Yuv444) {
                std::memcpy(out, src, static_cast<size_t>(outWidth));
                return;
            }
            for (int32_t x = 0; x < outWidth; ++x) {
                const int32_t right = std::min(2 * x + 1, srcWidth - 1);
                out[x] = static_cast<uint8_t>((src[2 * x] + src[right] + 1) >> 1);
            }
        };
        for (int32_t r = 0; r < outHeight; ++r) {
            uint8_t* out = plane == 0 ? image.CbRow(r) : image.CrRow(r);
            if (h.Chroma == TY4MChroma::Yuv420) {
                // 4:2:0 to 4:2:0 copies; to 4:2:2 repeats each row.
                sourceRow(to420 ? r : r / 2, out);
            } else if (!to420) {
                sourceRow(r, out);
            } else {
                // Full-height chroma to 4:2:0: average two rows, of the same field when the
                // encoder subsamples chroma per field.
                const int32_t first = f.FieldChroma != 0 ? (r / 2) * 4 + (r % 2) : 2 * r;
                const int32_t second = f.FieldChroma != 0 ? first + 2 : first + 1;
                sourceRow(first, narrow.data());
                sourceRow(std::min(second, srcHeight - 1), row.data());
                AverageRows(narrow.data(), row.data(), out, outWidth);
            }
        }
    }
}

} // namespace quillset
