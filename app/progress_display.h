// The one-line progress bar of the encode command on standard error.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace quillset {

struct TEncodeProgress;

class TProgressDisplay {
public:
    // On a terminal the line is redrawn in place a few times a second; elsewhere (a log, a pipe)
    // a plain line is written every ten seconds.
    TProgressDisplay(std::ostream& out, bool terminal);

    void Update(const TEncodeProgress& progress);
    // Ends the line (a terminal's line is left showing the last state).
    void Finish();

    // The text of one progress line, e.g.
    // "Encoding [##########----------]  150/300 frames  48.2 fps  00:00:03 elapsed  00:00:03 left".
    static std::string FormatLine(const TEncodeProgress& progress);

private:
    std::ostream& Out;
    bool Terminal;
    double LastShown = -1e9;
    size_t LastLength = 0;
    bool Shown = false;
};

} // namespace quillset
