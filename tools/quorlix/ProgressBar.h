#pragma once
// Progress of a long command on standard error: a bar redrawn in place on a terminal, one plain
// line per step otherwise, so logs and pipelines get readable text. It is the library's
// ProgressBar, so the script engine can drive the same bar.

#include "quorlix/core/Obj.h"
#include "quorlix/script/ProgressBar.h"

#include <cstdint>
#include <string>

namespace QuorlixTool {

class TerminalProgressBar final : public Quorlix::ProgressBar {
public:
    /// A new bar (count 0; hold it in an Obj). `total` is in the caller's units (bytes,
    /// members); 0 when unknown.
    static TerminalProgressBar* Create(const char* label, uint64_t total);
    /// Clears the bar (a terminal keeps no half-drawn line behind).
    ~TerminalProgressBar() override;

    /// `done` units are finished; `item` names what is being worked on.
    void Update(uint64_t done, const std::string& item);
    /// The library's report: redraws the bar at `fraction` with the last item (terminals only).
    void SetProgress(float fraction) override;

    /// Whether the bar is drawn at all (standard error is a terminal).
    bool IsOnTerminal() const noexcept { return m_Terminal; }

    /// Writes a message line to standard error without tearing a bar that is on screen.
    static void PrintLine(const std::string& line);

private:
    template <class T, class... Args>
    friend T* Quorlix::NewObject(Args&&... args);
    TerminalProgressBar(const char* label, uint64_t total);
    void Draw(uint64_t percent);

    std::string m_Label;
    std::string m_Item;
    uint64_t m_Total;
    bool m_Terminal;
};

} // namespace QuorlixTool
