// Test helpers for the multiplexer and demultiplexer: short elementary streams made by independent
// tools (ffmpeg) once per test program, multiplexing files through the system encoder as an
// encoder would (interleaved writes into its inputs), and reading a stream back through the
// demultiplexer.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "encoder/demux/mpeg_demultiplexor_stream.h"
#include "encoder/mux/system_encoder.h"
#include "stream/file_stream.h"
#include "stream/memory_stream.h"
#include "tests/support/stream_oracles.h"
#include "tests/support/temp_dir.h"

namespace quillset::muxtest {

using testing::Capture;
using testing::Quote;
using testing::ToolsRequired;

// The folder of the clips; lives as long as the test program.
inline const testing::TempDir& MediaDir() {
    static testing::TempDir dir;
    return dir;
}

// Where a test writes its outputs: a fresh folder, or with QUILLSET_MUX_KEEP=folder that folder
// (kept for looking at the files after the run).
class TOutputDir {
public:
    std::string File(const std::string& name) const {
        const char* keep = std::getenv("QUILLSET_MUX_KEEP");
        if (keep != nullptr && *keep != '\0')
            return std::string(keep) + "/" + name;
        return Dir.File(name);
    }

private:
    testing::TempDir Dir;
};

// A clip made once by ffmpeg with the arguments (inputs and codec options; the output path is
// appended); "" when ffmpeg fails.
inline std::string MakeClip(const std::string& name, const std::string& arguments) {
    const std::string path = MediaDir().File(name);
    if (testing::FileExists(path))
        return path;
    const std::string command = "ffmpeg -v error -nostdin -y " + arguments + " " + Quote(path) + " 2>&1";
    if (testing::RunCommand(command) != 0)
        return "";
    return path;
}

// Clips (2 s) for each disc form.
inline std::string DVDVideoClip() {
    return MakeClip("dvd.m2v",
                    "-f lavfi -i testsrc=size=720x480:rate=30000/1001:duration=2 -c:v mpeg2video -b:v 5000k "
                    "-maxrate 8000k -bufsize 1835008 -g 15 -bf 2 -pix_fmt yuv420p -aspect 4:3 -f mpeg2video");
}
inline std::string DVDMP2Clip() {
    return MakeClip("dvd.mp2", "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=2 -ac 2 -c:a mp2 -b:a 224k -f mp2");
}
inline std::string DVDAC3Clip() {
    return MakeClip("dvd.ac3", "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=2 -ac 2 -c:a ac3 -b:a 192k -f ac3");
}
inline std::string VCDVideoClip() {
    return MakeClip("vcd.m1v",
                    "-f lavfi -i testsrc=size=352x240:rate=30000/1001:duration=2 -c:v mpeg1video -b:v 1150k "
                    "-minrate 1150k -maxrate 1150k -bufsize 327680 -g 18 -bf 2 -f mpeg1video");
}
inline std::string VCDMP2Clip() {
    return MakeClip("vcd.mp2", "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -ac 2 -c:a mp2 -b:a 224k -f mp2");
}
inline std::string SVCDVideoClip() {
    return MakeClip("svcd.m2v",
                    "-f lavfi -i testsrc=size=480x480:rate=30000/1001:duration=2 -c:v mpeg2video -b:v 2000k "
                    "-maxrate 2500k -bufsize 1835008 -g 18 -bf 2 -pix_fmt yuv420p -aspect 4:3 "
                    "-flags +ilme+ildct -f mpeg2video");
}
inline std::string PALVideoClip() {
    return MakeClip("pal.m1v",
                    "-f lavfi -i testsrc=size=352x288:rate=25:duration=2 -c:v mpeg1video -b:v 1150k "
                    "-minrate 1150k -maxrate 1150k -bufsize 327680 -g 15 -bf 2 -f mpeg1video");
}
inline std::string MP2Clip48() {
    return DVDMP2Clip();
}

// The private Linear PCM stream (header, then 16-bit big-endian stereo samples at 48 kHz) of a
// 2 s tone.
inline std::string LinearPCMClip() {
    const std::string path = MediaDir().File("dvd.lpcm");
    if (testing::FileExists(path))
        return path;
    const std::string raw = MakeClip("dvd_s16be.raw",
                                     "-f lavfi -i sine=frequency=440:sample_rate=48000:duration=2 -ac 2 -f s16be");
    if (raw.empty())
        return "";
    static constexpr uint8_t kHeader[20] = {'V', 'D', 'M', 'S', 'L', 'P', 'C', 'M', 2, 0, 20, 0, 16,
                                            0x80, 0xBB, 0, 0, 2, 0, 0x80};
    testing::WriteFileBytes(path, std::string(reinterpret_cast<const char*>(kHeader), 20) + testing::ReadFileBytes(raw));
    return path;
}

struct TInput {
    uint8_t Kind;
    std::string Path;
    uint8_t StreamId = 0;
    uint8_t SubstreamId = 0;
};

struct TMuxResult {
    int64_t BytesWritten = 0;
    int32_t Underflows = 0;
    std::vector<std::string> Log;
};

// Multiplexes the files into `output` with the system stream type, writing every input in
// interleaved pieces as encoders on one thread would.
inline TMuxResult MultiplexFiles(uint8_t streamType, const std::vector<TInput>& inputs, const std::string& output,
                                 TMPEGSystemEncoder_EncodeConfig config = {}) {
    TMuxResult result;
    TLargeFileStream file(output, FILE_ATTRIBUTE_NORMAL, fmCreate);
    config.StreamType = streamType;
    TMPEGSystemEncoder encoder(&file, config);
    encoder.TempDirectory = MediaDir().Path() + "/";
    encoder.OnLog = [&result](TMPEGBaseEncoder*, const std::string& text) { result.Log.push_back(text); };
    std::vector<std::string> data;
    std::vector<TMPEGSystemEncoder_ElementaryStream*> streams;
    for (const TInput& input : inputs) {
        data.push_back(testing::ReadFileBytes(input.Path));
        streams.push_back(encoder.AddStream({input.Kind, input.StreamId, input.SubstreamId}));
    }
    encoder.BeginEncode();
    std::vector<size_t> done(inputs.size(), 0);
    constexpr size_t kRounds = 200;
    for (bool more = true; more;) {
        more = false;
        for (size_t i = 0; i < inputs.size(); ++i) {
            const size_t piece = std::max<size_t>(1, data[i].size() / kRounds + 1);
            const size_t n = std::min(piece, data[i].size() - done[i]);
            if (n > 0)
                streams[i]->WriteBuffer(data[i].data() + done[i], static_cast<int32_t>(n));
            done[i] += n;
            more = more || done[i] < data[i].size();
        }
    }
    encoder.EndEncode();
    result.BytesWritten = encoder.GetEngine()->GetBytesWritten();
    result.Underflows = encoder.GetEngine()->GetUnderflowCount();
    return result;
}

// The whole payload of one elementary stream of an MPEG file.
inline std::string DemultiplexFile(const std::string& path, uint8_t kind, uint8_t number) {
    TMPEGDemultiplexorStream stream(path, kind, number);
    std::string out;
    std::string buffer(65536, '\0');
    for (int32_t got; (got = stream.Read(buffer.data(), static_cast<int32_t>(buffer.size()))) > 0;)
        out.append(buffer, 0, static_cast<size_t>(got));
    return out;
}

// Reads a big-endian value.
inline uint32_t BigEndian(const std::string& bytes, size_t at, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return value;
}

} // namespace quillset::muxtest
