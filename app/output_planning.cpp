#include "app/output_planning.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sys/stat.h>

#include "config/model/mpeg_config.h"
#include "stream/exceptions.h"

namespace quillset {

namespace {

constexpr int64_t kMaxMargin = 10485760;

std::string ParentFolder(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The nearest existing folder at or above path.
std::string ExistingAncestor(std::string path) {
    struct stat info{};
    for (int guard = 0; guard < 4096; ++guard) {
        if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
            return path;
        const std::string parent = ParentFolder(path);
        if (parent == path)
            break;
        path = parent;
    }
    return "/";
}

} // namespace

int64_t EstimateFileSize(const TMPEGConfig_RateSummary& summary, double seconds) {
    const double rate =
        summary.IsConstant || summary.TotalAvgBitRate >= 0 ? summary.TotalAvgBitRate : summary.TotalMaxBitRate;
    const auto bytes = static_cast<int64_t>(std::ceil(seconds * rate / 8));
    const auto margin = static_cast<int64_t>(std::ceil(static_cast<double>(bytes) * 0.05));
    return bytes + std::min(kMaxMargin, std::max<int64_t>(0, margin));
}

int64_t EstimateWaveFileSize(const TMPEGAudioConfig& audio, double seconds) {
    const int32_t channels = audio.ChannelMode == 3 ? 1 : 2;
    return static_cast<int64_t>(std::ceil(channels * static_cast<double>(audio.SamplingFrequency) * 16 * seconds / 8));
}

std::string FormatDuration(double seconds) {
    const auto total = static_cast<int64_t>(std::max(0.0, seconds));
    return FormatText("%.2lld:%.2lld:%.2lld", static_cast<long long>(total / 3600),
                      static_cast<long long>(total / 60 % 60), static_cast<long long>(total % 60));
}

bool CanMakeWaveFile(const TMPEGConfig& config) {
    return OutputHasAudio(config.OutputStreamType) &&
           !(!IsSystemOutput(config.OutputStreamType) &&
             config.Audio.StreamType == MPEGAudioEncoder_StreamType_LinearPCM);
}

std::string GetDriveOfPath(const std::string& path) {
    std::string folder = ExistingAncestor(path.empty() ? "." : path);
    char resolved[PATH_MAX];
    if (::realpath(folder.c_str(), resolved) != nullptr)
        folder = resolved;
    struct stat info{};
    if (::stat(folder.c_str(), &info) != 0)
        return "/";
    const dev_t device = info.st_dev;
    // Climb while the parent is on the same file system; the last folder is the mount point.
    while (folder != "/") {
        const std::string parent = ParentFolder(folder);
        struct stat parentInfo{};
        if (::stat(parent.c_str(), &parentInfo) != 0 || parentInfo.st_dev != device)
            break;
        folder = parent;
    }
    return folder;
}

std::string BuildDiskCapacityMessage(const std::vector<TRequestDiskCapacitySizeItem>& requests) {
    std::map<std::string, int64_t> drives;
    int64_t total = 0;
    for (const auto& request : requests) {
        drives[GetDriveOfPath(request.FileName)] += request.Size;
        total += request.Size;
    }
    std::string text = "There is not enough space on HDD.\r\n\r\n";
    for (const auto& [drive, size] : drives)
        text += FormatText("In %s drive, you need %lldGB (%lldMB) as free space.\r\n", drive.c_str(),
                           static_cast<long long>(size / 1073741824), static_cast<long long>(size / 1048576));
    text += FormatText("\r\nYou need total %lldGB (%lldMB) as free space.", static_cast<long long>(total / 1073741824),
                       static_cast<long long>(total / 1048576));
    return text;
}

bool HasFileExtension(const std::string& name) {
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash) && dot + 1 < name.size() &&
           dot != (slash == std::string::npos ? 0 : slash + 1);
}

std::string ChangeFileExtension(const std::string& name, const std::string& extension) {
    if (!HasFileExtension(name))
        return name + "." + extension;
    return name.substr(0, name.find_last_of('.') + 1) + extension;
}

TOutputFileInfo PlanOutputFiles(const TMPEGConfig& config, const std::string& name, double seconds, bool waveFile,
                                 std::vector<TRequestDiskCapacitySizeItem>& requests) {
    TOutputFileInfo info;
    const bool wave = waveFile && CanMakeWaveFile(config);
    if (config.OutputStreamType == MPEG_OutputStreamType_VideoAudio) {
        info.MainFileName = ChangeFileExtension(name, config.Video.GetFileExtension());
        info.MainFileSize = EstimateFileSize(config.GetRateSummary(MPEGRateFlag_NoAudio), seconds);
        info.SecondFileName = ChangeFileExtension(name, config.Audio.GetFileExtension());
        info.SecondFileSize = EstimateFileSize(config.GetRateSummary(MPEGRateFlag_NoVideo), seconds);
    } else {
        const std::string extension = config.GetOutputFileExtension();
        info.MainFileName = wave || !HasFileExtension(name) ? ChangeFileExtension(name, extension) : name;
        info.MainFileSize = EstimateFileSize(config.GetRateSummary(0), seconds);
        info.SecondFileName = info.MainFileName;
        info.SecondFileSize = info.MainFileSize;
    }
    if (wave) {
        info.WaveFileName = ChangeFileExtension(name, "wav");
        info.WaveFileSize = EstimateWaveFileSize(config.Audio, seconds);
    }
    requests.push_back({info.MainFileName, info.MainFileSize});
    if (info.SecondFileName != info.MainFileName)
        requests.push_back({info.SecondFileName, info.SecondFileSize});
    if (!info.WaveFileName.empty())
        requests.push_back({info.WaveFileName, info.WaveFileSize});
    return info;
}

} // namespace quillset
