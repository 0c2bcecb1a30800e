#include "app/encode_command.h"

#include <charconv>
#include <cmath>
#include <csignal>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <unistd.h>

#include "app/command_line.h"
#include "app/config_override.h"
#include "app/encode_run.h"
#include "app/output_planning.h"
#include "app/progress_display.h"
#include "app/templates_command.h"
#include "config/model/config_file.h"
#include "config/model/config_list.h"
#include "config/model/mpeg_tables.h"
#include "source/demo_source.h"
#include "source/wave_audio_source.h"
#include "stream/file_stream.h"
#include "stream/temp_file.h"

namespace quillset {

namespace {

constexpr int kExitStopped = 130;

struct TEncodeArguments {
    std::string TemplateName;
    std::vector<std::string> Settings;
    std::string OutputName;
    std::string LogFileName;
    std::string VideoFile;
    std::string AudioFile;
    bool WaveFile = false;
    bool Quiet = false;
    bool DVDVideo = false;
    bool Demo = false;
    int DemoSeconds = 10;
    int Threads = -1;
    bool MotionCache = true;
};

class EUsage : public Exception {
public:
    using Exception::Exception;
};

bool EndsWith(const std::string& text, const std::string& tail) {
    if (text.size() < tail.size())
        return false;
    for (size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - tail.size() + i])) != tail[i])
            return false;
    return true;
}

// Whether an input is pictures or sound, by its name or, failing that, its first bytes.
bool IsPictureInput(const std::string& fileName) {
    if (fileName == "-" || EndsWith(fileName, ".y4m"))
        return true;
    if (EndsWith(fileName, ".wav"))
        return false;
    std::ifstream in(fileName, std::ios::binary);
    char head[9] = {};
    in.read(head, sizeof head);
    return std::string(head, static_cast<size_t>(in.gcount())) == "YUV4MPEG2";
}

int ParseDemoSeconds(const std::string& text) {
    int seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc() || end != text.data() + text.size() || seconds < 1 || seconds > 3600)
        throw EUsage("--demo=SECONDS takes a whole number of seconds from 1 to 3600");
    return seconds;
}

int ParseThreads(const std::string& text) {
    int threads = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), threads);
    if (error != std::errc() || end != text.data() + text.size() || threads < 0 || threads > 2)
        throw EUsage("--threads takes 0 (no threads), 1 or 2 (analysis workers)");
    return threads;
}

TEncodeArguments ParseArguments(const std::vector<std::string>& args) {
    TEncodeArguments parsed;
    auto value = [&](size_t& i) -> const std::string& {
        if (i + 1 >= args.size())
            throw EUsage(args[i] + " needs a value");
        return args[++i];
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-t" || a == "--template")
            parsed.TemplateName = value(i);
        else if (a == "--set")
            parsed.Settings.push_back(value(i));
        else if (a == "-o" || a == "--output")
            parsed.OutputName = value(i);
        else if (a == "--log")
            parsed.LogFileName = value(i);
        else if (a == "--wave")
            parsed.WaveFile = true;
        else if (a == "-q" || a == "--quiet")
            parsed.Quiet = true;
        else if (a == "--threads")
            parsed.Threads = ParseThreads(value(i));
        else if (a == "--dvd-video")
            parsed.DVDVideo = true;
        else if (a == "--no-motion-cache")
            parsed.MotionCache = false;
        else if (a == "--demo")
            parsed.Demo = true;
        else if (a.starts_with("--demo=")) {
            parsed.Demo = true;
            parsed.DemoSeconds = ParseDemoSeconds(a.substr(7));
        }
        else if (a.size() > 1 && a[0] == '-')
            throw EUsage("unknown option \"" + a + "\"");
        else if (IsPictureInput(a) && parsed.VideoFile.empty())
            parsed.VideoFile = a;
        else if (!IsPictureInput(a) && parsed.AudioFile.empty())
            parsed.AudioFile = a;
        else
            throw EUsage("more than one picture or sound input: \"" + a + "\"");
    }
    if (parsed.TemplateName.empty())
        throw EUsage("choose a template with -t (see \"quillset templates\")");
    if (parsed.Demo && !(parsed.VideoFile.empty() && parsed.AudioFile.empty()))
        throw EUsage("--demo encodes the built-in demo source: give no inputs with it");
    if (!parsed.Demo && parsed.VideoFile.empty() && parsed.AudioFile.empty())
        throw EUsage("give a picture source (.y4m) and/or a sound source (.wav), or --demo");
    return parsed;
}

// A built-in template by name, or a configuration file (".mcf") by path.
void LoadTemplate(const std::string& name, TMPEGConfig& config) {
    if (EndsWith(name, ".mcf") && access(name.c_str(), R_OK) == 0) {
        LoadMPEGConfigFromFile(name, config);
        return;
    }
    TMPEGConfigList list;
    LoadOfferedTemplates(list);
    const int index = FindTemplate(list, name);
    if (index < 0)
        throw Exception("Unknown template \"" + name + "\" (\"quillset templates\" lists them).");
    config.Assign(list[index].MPEGConfig);
}

std::string DefaultOutputName(const TEncodeArguments& args) {
    std::string source = args.VideoFile.empty() || args.VideoFile == "-" ? args.AudioFile : args.VideoFile;
    if (source.empty())
        return args.Demo ? "quillset-demo" : "quillset";
    // Next to the input, with its name.
    const size_t slash = source.find_last_of('/');
    const size_t dot = source.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos ? dot > 0 : dot > slash + 1))
        source.erase(dot);
    return source;
}

// The built-in demo source in temporary files, in the template's picture size and rate; removed
// again when the encode ends.
class TDemoFiles {
public:
    TDemoFiles(const TMPEGConfig& config, int seconds) {
        TDemoFormat format;
        format.Width = config.Video.Width;
        format.Height = config.Video.Height;
        const double rate = GetFrameRateValue(config.Video.FrameRate);
        if (rate <= 0)
            throw Exception("The template has no picture rate for the demo source.");
        // NTSC rates are whole multiples of 1000/1001.
        const double ntsc = rate * 1.001;
        if (std::abs(ntsc - std::round(ntsc)) < 0.01 && std::abs(rate - std::round(rate)) > 0.01) {
            format.RateNumerator = static_cast<int32_t>(std::lround(ntsc)) * 1000;
            format.RateDenominator = 1001;
        } else {
            format.RateNumerator = static_cast<int32_t>(std::lround(rate * 1000));
            format.RateDenominator = 1000;
        }
        format.Frames = static_cast<int32_t>(std::lround(seconds * rate));
        format.SamplingFrequency = 48000;
        try {
            const std::string folder = GetSystemTempFolder();
            VideoFile = MakeTempFileName(folder, "quillset-demo", "y4m");
            {
                TLargeFileStream pictures(VideoFile, 0, fmCreate);
                WriteDemoPictures(pictures, format);
            }
            AudioFile = MakeTempFileName(folder, "quillset-demo", "wav");
            TLargeFileStream sound(AudioFile, 0, fmCreate);
            WriteDemoSound(sound, format);
        } catch (...) {
            Remove();
            throw;
        }
    }
    ~TDemoFiles() { Remove(); }
    TDemoFiles(const TDemoFiles&) = delete;
    TDemoFiles& operator=(const TDemoFiles&) = delete;

    std::string VideoFile;
    std::string AudioFile;

private:
    void Remove() {
        for (const std::string* name : {&VideoFile, &AudioFile})
            if (!name->empty())
                ::unlink(name->c_str());
    }
};

extern "C" void StopOnInterrupt(int) {
    TEncodeRun::RequestAbort();
    static const char text[] = "\nStopping: the streams are being finished (press Ctrl-C again to stop at once)\n";
    (void)!write(STDERR_FILENO, text, sizeof text - 1);
}

// Ctrl-C once finishes the streams; the handler resets itself, so a second Ctrl-C ends at once.
class TInterruptGuard {
public:
    TInterruptGuard() {
        TEncodeRun::ClearAbort();
        struct sigaction action{};
        action.sa_handler = StopOnInterrupt;
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &Previous);
    }
    ~TInterruptGuard() { sigaction(SIGINT, &Previous, nullptr); }

private:
    struct sigaction Previous{};
};

void PrintSummary(const TEncodeSummary& summary, std::ostream& out) {
    for (const std::string& note : summary.Notes)
        out << "Note: " << note << "\n";
    for (const auto& file : summary.Files) {
        const double rate = summary.Seconds > 0 ? static_cast<double>(file.Size) * 8 / summary.Seconds / 1000 : 0;
        out << FormatText("%s  %lld bytes  %.0f kbit/s\n", file.FileName.c_str(), static_cast<long long>(file.Size),
                          rate);
    }
    out << FormatText("%lld frames, %s", static_cast<long long>(summary.Frames),
                      FormatDuration(summary.Seconds).c_str());
    if (summary.VBVErrors > 0)
        out << FormatText(", %d VBV errors", summary.VBVErrors);
    out << (summary.Aborted ? ", stopped by the user\n" : "\n");
}

} // namespace

std::string EncodeUsageText() {
    return "  quillset encode -t TEMPLATE [options] [PICTURES.y4m | -] [SOUND.wav]\n"
           "      encode with a built-in template (or a .mcf configuration file)\n"
           "      -o NAME           output name (default: the first input's, next to it); extensions are added\n"
           "      --set PATH=VALUE  change a setting, e.g. --set Video.CBR_BitRate=6000000\n"
           "      --dvd-video       write an MPEG-2 program stream in the DVD-Video form (navigation packs),\n"
           "                        as DVD authoring tools such as dvdauthor read it (DVD templates)\n"
           "      --demo[=SECONDS]  encode the built-in demo source (test picture and tone, 10 s unless given)\n"
           "      --threads N       video encoder threads: 0 none, 1 or 2 analysis workers (default: 2 when\n"
           "                        the machine has more than one processor); the output is the same\n"
           "      --no-motion-cache two-pass VBR: search motion again in the final pass instead of keeping\n"
           "                        the analysis pass's in a temporary file (same output, slower)\n"
           "      --wave            also write the sound as a WAVE file\n"
           "      --log FILE        write the encoders' log\n"
           "      --quiet           no progress display\n";
}

int RunEncodeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    TEncodeArguments parsed;
    try {
        parsed = ParseArguments(args);
    } catch (const EUsage& error) {
        err << "quillset encode: " << error.what() << "\n\nUsage:\n" << EncodeUsageText();
        return ExitUsage;
    }
    TMPEGConfig config;
    LoadTemplate(parsed.TemplateName, config);
    for (const std::string& setting : parsed.Settings)
        ApplyConfigSetting(config, setting);

    std::optional<TDemoFiles> demo;
    if (parsed.Demo) {
        demo.emplace(config, parsed.DemoSeconds);
        parsed.VideoFile = demo->VideoFile;
        parsed.AudioFile = demo->AudioFile;
    }
    std::unique_ptr<TWaveAudioSource> audio;
    if (!parsed.AudioFile.empty())
        audio = std::make_unique<TWaveAudioSource>(parsed.AudioFile);
    TVideoInput video{parsed.VideoFile};

    TEncodeRunOptions options;
    options.OutputName = parsed.OutputName.empty() ? DefaultOutputName(parsed) : parsed.OutputName;
    options.WaveFile = parsed.WaveFile;
    options.LogFileName = parsed.LogFileName;
    options.DVDVideo = parsed.DVDVideo;
    options.Threads = parsed.Threads;
    options.MotionCache = parsed.MotionCache;
    TEncodeRun run(config, options);
    TProgressDisplay display(err, isatty(STDERR_FILENO) != 0);
    if (!parsed.Quiet)
        run.OnProgress = [&display](const TEncodeProgress& progress) { display.Update(progress); };

    TEncodeSummary summary;
    {
        TInterruptGuard guard;
        try {
            summary = run.Run(parsed.VideoFile.empty() ? nullptr : &video, audio.get());
        } catch (...) {
            display.Finish();
            throw;
        }
    }
    display.Finish();
    if (!parsed.Quiet)
        PrintSummary(summary, out);
    return summary.Aborted ? kExitStopped : ExitSuccess;
}

} // namespace quillset
