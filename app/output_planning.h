// Planning an encode's output files: their names and estimated sizes, the disk space they need,
// and the texts shown about them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillset {

class TMPEGConfig;
class TMPEGAudioConfig;
struct TMPEGConfig_RateSummary;

// Bytes an output of the given rate summary takes for `seconds`, with a safety margin of 5 %
// (at most 10 MiB): the average rate when the summary is constant or has one, else the maximum.
int64_t EstimateFileSize(const TMPEGConfig_RateSummary& summary, double seconds);

// Bytes of 16-bit samples of the audio configuration's channels and frequency for `seconds`.
int64_t EstimateWaveFileSize(const TMPEGAudioConfig& audio, double seconds);

// "hh:mm:ss" of whole seconds.
std::string FormatDuration(double seconds);

// True when the output carries audio and is not elementary Linear PCM (which is a WAVE file
// already): only then may an extra WAVE file be written next to it.
bool CanMakeWaveFile(const TMPEGConfig& config);

// One file the encode will write, with the bytes it reserves.
struct TRequestDiskCapacitySizeItem {
    std::string FileName;
    int64_t Size = 0;
};

// The file system a path lives on, named by its mount point ("/", "/home", ...): the "drive"
// of the disk-space message. The path need not exist yet.
std::string GetDriveOfPath(const std::string& path);

// "There is not enough space on HDD." with one line per drive (requests on one file system
// summed) and the total.
std::string BuildDiskCapacityMessage(const std::vector<TRequestDiskCapacitySizeItem>& requests);

// The files of one output.
struct TOutputFileInfo {
    std::string MainFileName;
    int64_t MainFileSize = 0;
    std::string SecondFileName; // the audio file of VideoAudio outputs, else MainFileName
    int64_t SecondFileSize = 0;
    std::string WaveFileName; // empty without an extra WAVE file
    int64_t WaveFileSize = 0;
    int64_t FirstFrame = 0;
    int64_t FrameCount = 0;
    int64_t FirstSample = 0;
    int64_t SampleCount = 0;
};

// Plans the files of one output of `seconds` named `name`. A name without an extension gets the
// output's extension; VideoAudio outputs take the video and the audio extension in place of the
// name's; with waveFile (and CanMakeWaveFile) a ".wav" file is added. Appends the disk requests.
TOutputFileInfo PlanOutputFiles(const TMPEGConfig& config, const std::string& name, double seconds, bool waveFile,
                                 std::vector<TRequestDiskCapacitySizeItem>& requests);

// name with its extension (the part after the last '.' of the last path element) replaced by
// extension (given without the dot); a name without one gets it appended.
std::string ChangeFileExtension(const std::string& name, const std::string& extension);
bool HasFileExtension(const std::string& name);

} // namespace quillset
