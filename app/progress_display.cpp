#include "app/progress_display.h"

#include <algorithm>
#include <ostream>

#include "app/encode_run.h"
#include "app/output_planning.h"
#include "stream/exceptions.h"

namespace quillset {

namespace {
constexpr int kBarWidth = 20;
constexpr double kTerminalInterval = 0.2;
constexpr double kLogInterval = 10.0;
} // namespace

TProgressDisplay::TProgressDisplay(std::ostream& out, bool terminal) : Out(out), Terminal(terminal) {}

std::string TProgressDisplay::FormatLine(const TEncodeProgress& p) {
    std::string line = std::string(p.Pass) + " ";
    if (p.Total > 0) {
        const auto filled = static_cast<int>(std::min<int64_t>(kBarWidth, p.Done * kBarWidth / p.Total));
        line += "[" + std::string(static_cast<size_t>(filled), '#') +
                std::string(static_cast<size_t>(kBarWidth - filled), '-') + "] ";
        line += FormatText("%lld/%lld frames", static_cast<long long>(p.Done), static_cast<long long>(p.Total));
    } else {
        line += FormatText("%lld frames", static_cast<long long>(p.Done));
    }
    line += FormatText("  %.1f fps  %s elapsed", p.PicturesPerSecond, FormatDuration(p.Elapsed).c_str());
    if (p.Remaining >= 0)
        line += "  " + FormatDuration(p.Remaining) + " left";
    return line;
}

void TProgressDisplay::Update(const TEncodeProgress& progress) {
    const bool last = progress.Total > 0 && progress.Done >= progress.Total;
    if (!last && progress.Elapsed - LastShown < (Terminal ? kTerminalInterval : kLogInterval))
        return;
    LastShown = progress.Elapsed;
    const std::string line = FormatLine(progress);
    if (Terminal) {
        Out << '\r' << line;
        if (line.size() < LastLength)
            Out << std::string(LastLength - line.size(), ' ');
        LastLength = line.size();
    } else {
        Out << line << '\n';
    }
    Out.flush();
    Shown = true;
}

void TProgressDisplay::Finish() {
    if (Terminal && Shown)
        Out << '\n';
    Out.flush();
    Shown = false;
    LastLength = 0;
}

} // namespace quillset
