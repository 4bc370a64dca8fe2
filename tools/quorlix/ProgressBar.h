#pragma once
// Progress of a long command on standard error: a bar redrawn in place on a terminal, one plain
// line per step otherwise, so logs and pipelines get readable text.

#include <cstdint>
#include <string>

namespace QuorlixTool {

class ProgressBar {
public:
    /// `total` is in the caller's units (bytes, members); 0 when unknown.
    ProgressBar(const char* label, uint64_t total);
    /// Clears the bar (a terminal keeps no half-drawn line behind).
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    /// `done` units are finished; `item` names what is being worked on.
    void Update(uint64_t done, const std::string& item);

    /// Writes a message line to standard error without tearing a bar that is on screen.
    static void PrintLine(const std::string& line);

private:
    std::string m_Label;
    uint64_t m_Total;
    bool m_Terminal;
};

} // namespace QuorlixTool
