#pragma once
// Collects the lines written through WriteDebugLine while it lives.

#include <string>
#include <vector>

namespace QuorlixTest {

/// Installs itself as the debug line sink on construction and puts the previous sink back on
/// destruction. Captures nest: the innermost one receives the lines. Lines written on any
/// thread are collected.
class DebugLineCapture {
public:
    DebugLineCapture();
    ~DebugLineCapture();
    DebugLineCapture(const DebugLineCapture&) = delete;
    DebugLineCapture& operator=(const DebugLineCapture&) = delete;

    /// The lines received so far, without line feeds.
    std::vector<std::string> Lines() const;
    /// Forgets the lines received so far.
    void Clear();

private:
    static void Receive(const char* text);

    using Sink = void (*)(const char*);
    Sink m_PreviousSink;
    DebugLineCapture* m_PreviousCapture;
    std::vector<std::string> m_Lines;
};

} // namespace QuorlixTest
