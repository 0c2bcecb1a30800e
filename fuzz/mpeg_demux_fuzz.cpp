// Feeds arbitrary bytes to both faces of the MPEG demultiplexer: the packet walk of the whole file,
// the stream listing, and the stream of every kind read to its end, sized, positioned back and
// forth and read again. Damaged files must read up to the damage; only the system's own error
// classes may come out (a crash, a hang, a sanitizer report or a stray exception is a fault).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "encoder/demux/mpeg_demultiplexor.h"
#include "encoder/demux/mpeg_demultiplexor_stream.h"
#include "encoder/demux/stream_listing.h"
#include "stream/exceptions.h"
#include "stream/memory_stream.h"

namespace {

using namespace quillset;

void Load(TLargeMemoryStream& stream, const uint8_t* data, size_t size) {
    if (size > 0)
        stream.WriteBuffer(data, static_cast<int32_t>(size));
    stream.SetPosition(0);
}

void WalkPackets(const uint8_t* data, size_t size) {
    TLargeMemoryStream stream;
    Load(stream, data, size);
    try {
        TMPEGDemultiplexor demultiplexor(stream);
        while (demultiplexor.NextPacket()) {
            const TMPEGDemultiplexor_Packet& packet = demultiplexor.GetPacket();
            if (packet.PayloadSize < 0 || (packet.PayloadSize > 0 && packet.Payload == nullptr))
                __builtin_trap();
        }
        demultiplexor.Seek(static_cast<int64_t>(size / 2));
        demultiplexor.NextPacket();
    } catch (const Exception&) {
    }
}

void ListStreams(const uint8_t* data, size_t size) {
    TLargeMemoryStream stream;
    Load(stream, data, size);
    try {
        const TMPEGStreamList list = ListMPEGStreams(stream);
        FormatMPEGStreamList(list);
    } catch (const Exception&) {
    }
}

void ReadStream(const uint8_t* data, size_t size, uint8_t kind, uint8_t number) {
    TLargeMemoryStream stream;
    Load(stream, data, size);
    try {
        TMPEGDemultiplexorStream demux(stream, false, kind, number);
        std::vector<uint8_t> buffer(4099);
        // A WAVE file's stream is made as it is read and may be far larger than the input.
        constexpr int64_t kReadLimit = 16 << 20;
        int64_t total = 0;
        for (int32_t got; total < kReadLimit && (got = demux.Read(buffer.data(), static_cast<int32_t>(buffer.size()))) > 0;)
            total += got;
        const int64_t length = demux.GetSize();
        if (total < kReadLimit && length != total)
            __builtin_trap(); // the size is what a read to the end delivers
        demux.Seek(length / 3, soFromBeginning);
        demux.Read(buffer.data(), 777);
        demux.Seek(0, soFromBeginning);
        demux.Read(buffer.data(), 100);
        demux.Seek(-5, soFromEnd);
        demux.Read(buffer.data(), 100);
        demux.GetStreamInfo();
    } catch (const Exception&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    WalkPackets(data, size);
    ListStreams(data, size);
    for (uint8_t kind = 0; kind < 4; ++kind)
        ReadStream(data, size, kind, kind == 2 ? 1 : 0);
    return 0;
}
