// Feeds arbitrary bytes to the YUV4MPEG2 reader; only its own error class may come out.
#include <cstddef>
#include <cstdint>

#include "encoder/framework/yuv_image.h"
#include "source/y4m_reader.h"
#include "stream/memory_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace quillset;
    TLargeMemoryStream stream;
    stream.WriteBuffer(data, static_cast<int32_t>(size));
    stream.SetPosition(0);
    try {
        TY4MReader reader(stream);
        const TY4MHeader& h = reader.Header();
        if (h.FrameBytes() > (int64_t{1} << 22))
            return 0; // pictures too large for a fuzz run's memory
        TMPEGVideo_YUVImageFormat format;
        format.ChromaFormat = (size & 1) != 0 ? 2 : 1;
        format.Width = h.Width;
        format.Height = h.Height;
        format.PictureWidth = h.Width;
        format.PictureHeight = h.Height;
        format.FieldChroma = (size & 2) != 0 ? 1 : 0;
        TMPEGVideo_YUVImage image(nullptr, format);
        while (reader.ReadFrame(image)) {
        }
    } catch (const EY4MError&) {
    }
    return 0;
}
