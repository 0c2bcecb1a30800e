// Packetizers: the multiplexer's input for one elementary stream. The encoder of the stream writes
// its bytes into the packetizer as into any sequential stream; the packetizer keeps them, cuts them
// into access units (pictures, audio frames) with decoding and presentation times, hands payload to
// its multiplex engine packet by packet, and keeps the model of the stream's decoder buffer
// (ISO/IEC 11172-1, 2.4.6 STD; ISO/IEC 13818-1, 2.5.2 P-STD) that the engine schedules with.
//
// Every operation runs under the engine's lock: writes come from the encoders' threads, and a
// write may run a multiplex step of the engine on the writing thread.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "encoder/mux/stream_kinds.h"
#include "stream/file_stream.h"
#include "stream/large_stream.h"

namespace quillset {

class TMultiplexEngine_MultiplexorBase;

// The sequential stream type of every multiplexer input. Read returns 0 and Seek -1 in every
// input; EndOfStream tells the input that no more bytes will come.
class TMPEGSystemEncoder_ElementaryStream : public TLargeStream {
public:
    virtual void EndOfStream() {}
};

// One access unit. Offsets count the bytes of the stream as the packetizer hands them on (bytes the
// packetizer inserts are counted).
struct TMPEGPacketizer_AccessUnit {
    uint32_t Sequence = 0;
    int64_t Start = 0;     // offset of the first byte
    int64_t Size = 0;      // bytes; final once Closed
    int64_t Sent = 0;      // bytes already packetized
    int64_t PTS = 0;       // 90 kHz, before the stream's TimeOffset
    int64_t DTS = 0;
    uint8_t TimestampKind = 1; // 1 PTS only, 2 PTS and DTS
    bool Closed = false;   // Size is final
    bool Timed = false;    // PTS and DTS are final
    bool Complete = false; // Closed and Timed
    bool EndOfStream = false;
    bool Stamped = false;  // its time stamps were written into a packet
    // Video: picture type (1 I, 2 P, 3 B), offset of the picture start code, whether the unit opens
    // with a sequence or GOP header, and the offset of the 12 scan-information bytes (-1: none).
    uint8_t PictureType = 0;
    int64_t PictureOffset = -1;
    bool GroupStart = false;
    int64_t PrivateOffset = -1;
    // Video bookkeeping: fields the picture lasts and its decode / display field positions.
    int32_t Fields = 2;
    int64_t DecodeField = 0;
    int64_t DisplayField = -1;

    int64_t Unsent() const { return Size - Sent; }
};

class TMPEGPacketizerStream : public TMPEGSystemEncoder_ElementaryStream {
public:
    static constexpr int32_t kChunkSize = 16384;

    // Registers the packetizer with the engine (which owns it from then on), opens the spill file
    // at once when spillToFile, and with a Source (not owned) rewinds it and, unless spilling,
    // reads its first chunk.
    TMPEGPacketizerStream(TMultiplexEngine_MultiplexorBase& engine, const TMPEGSystemEncoder_StreamInfo& info);
    ~TMPEGPacketizerStream() override;

    // Finishes construction: what the constructor cannot do before the subclass exists.
    void Start(bool spillToFile, TLargeStream* source);

    // TLargeStream: encoder output goes in through Write.
    int64_t GetSize() override;
    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t, uint16_t) override { return -1; }
    // Marks the end of the data, parses what remains and completes every access unit.
    void EndOfStream() override;

    virtual void GetAllowedStreamIds(TMPEGStreamIdSet& streamIds, TMPEGStreamIdSet& substreamIds) const;
    // Frees queued data, access units and buffer records.
    virtual void Clear();
    // Clear, and back to the state before the first byte.
    virtual void Reset();
    // Reads the whole Source once to learn the rates; restores the Source position.
    virtual void Prescan() {}
    // Parses the queued data as far as the lookahead allows (all of it when `final`).
    virtual void ParseChunk(bool final) = 0;
    // The largest payload (at most size) the packetizer accepts for the next packet.
    virtual int32_t AdjustPayload(int32_t size) { return size; }
    // Bytes that follow the substream id in a private stream 1 packet.
    virtual int32_t GetSubstreamHeaderSize() const { return 0; }
    // Fills those bytes for a packet whose payload is the next payloadSize queued bytes.
    virtual void FillSubstreamHeader(int32_t payloadSize, uint8_t* header) {}

    // Copies the next count queued bytes; running short raises EMPEGSystemEncoderError 0x8000FFFF.
    void TakePayload(void* buffer, int32_t count);
    // Bytes that may be sent now: those of the complete access units from the first unsent one,
    // and everything once the stream has ended.
    int64_t SendableBytes() const;
    // The bytes of complete access units reach MinimumPayload, or the stream's end is reached.
    bool HasEnoughData() const;
    // Ended, and every byte has been packetized.
    bool IsFinished() const { return EndOfData && TakenBytes() >= QueuedEnd(); }
    // The first access unit with unsent bytes, or null.
    TMPEGPacketizer_AccessUnit* CurrentAccessUnit();
    // The first unstamped access unit that starts within the next `range` unsent bytes, or null.
    TMPEGPacketizer_AccessUnit* FindStampUnit(int64_t range);
    // Books `bytes` packetized bytes against the access units (AddToBuffer with their decoding
    // times plus TimeOffset); headerBytes count with the first.
    void BookPayload(int64_t bytes, int64_t headerBytes);
    // Drops the access units that are fully sent.
    void ReleaseSentUnits();
    // Reads the next chunk of the Source; false when there is no Source or it is exhausted.
    bool ReadSourceChunk();
    bool HasSourceData() const { return Source != nullptr && !EndOfData && !Spilling; }

    // Two passes: from now on every byte goes to the spill file (queued bytes are moved there).
    void BeginSpilling();
    // The spill file becomes the Source, rewound; the packetizer starts again from its first byte.
    void BeginSecondPass();
    bool IsSpilling() const { return Spilling; }

    // STD buffer model.
    void AddToBuffer(int64_t bytes, int64_t removalTime);
    void RemoveFromBuffer(int64_t now);
    int32_t GetFreeBufferSpace() const { return BufferSize - BufferFullness; }

    int64_t TakenBytes() const { return DataBase + DataHead; }
    int64_t QueuedEnd() const { return DataBase + static_cast<int64_t>(Data.size()); }
    std::deque<TMPEGPacketizer_AccessUnit>& GetAccessUnits() { return AccessUnits; }
    TMultiplexEngine_MultiplexorBase& GetEngine() { return Engine; }

    TMultiplexEngine_MultiplexorBase& Engine;
    TLargeStream* Source = nullptr;
    uint8_t Kind;
    uint8_t StreamId;
    uint8_t SubstreamId;
    long double Clock = 0;        // seconds of the stream parsed so far
    uint8_t TimestampMode = 1;    // 1 PTS only, 2 PTS and DTS
    bool EndOfData = false;
    int64_t BytesIn = 0;
    int32_t AverageRate = 0;      // bits per second, 0 = unknown
    int32_t MaximumRate = 0;
    bool VariableRate = false;
    int32_t BufferFullness = 0;
    int32_t BufferSize = 4096;
    uint8_t BufferScale = 0;      // 0: units of 128 bytes, 1: units of 1024 bytes
    int32_t BufferBound = 32;
    int32_t PayloadSize = 0;      // payload of a packet with this stream's time stamps
    int32_t MinimumPayload = 0;   // payload of a packet without time stamps (the largest)
    int64_t TimeOffset = 0;
    bool Started = false;
    bool StdWritten = false;
    bool EndCodeWritten = false;

protected:
    // Appends bytes to the queue (no parse).
    void Append(const uint8_t* data, int32_t count);
    // Drops the next count queued bytes without sending them (headers the output does not carry).
    void Discard(int32_t count);
    // Inserts bytes at an unsent offset; later offsets move by count.
    void Insert(int64_t offset, const uint8_t* data, int32_t count);
    // Copies count queued bytes at an absolute offset; false when they are not all queued.
    bool Peek(int64_t offset, uint8_t* out, int32_t count) const;
    // Overwrites queued (unsent) bytes at an absolute offset.
    void Poke(int64_t offset, const uint8_t* data, int32_t count);
    // A pointer to the queued byte at an absolute offset and the bytes that follow it in one piece.
    const uint8_t* At(int64_t offset) const { return Data.data() + (offset - DataBase); }
    // Appends a new access unit starting at start.
    TMPEGPacketizer_AccessUnit& NewAccessUnit(int64_t start);
    // Marks complete the units that are Closed and Timed.
    void UpdateComplete();
    // Notifies the system encoder (progress during a long prescan).
    void NotifyProgress();
    // Runs the multiplex step of the engine when this stream has enough data.
    void Pump();

private:
    void Compact();
    void OpenSpill();

    std::vector<uint8_t> Data;
    int64_t DataBase = 0;   // offset of Data[0]
    size_t DataHead = 0;    // first unsent byte in Data
    int64_t PendingBytes = 0; // appended since the last parse
    std::deque<TMPEGPacketizer_AccessUnit> AccessUnits;
    uint32_t NextSequence = 0;
    std::deque<std::pair<int64_t, int64_t>> BufferLog; // (bytes, removal time)
    std::unique_ptr<TLargeFileStream> Spill;
    bool Spilling = false;
};

} // namespace quillset
