#include "ProgressBar.h"

#include "quorlix/platform/File.h"

#include <cstdio>

namespace QuorlixTool {

namespace {

constexpr int k_BarWidth = 30;
constexpr size_t k_ItemWidth = 40;
// The bar currently drawn, so that messages can clear it and draw it again.
std::string G_Drawn;

void DrawText(const std::string& text) {
    std::fprintf(stderr, "\r\x1b[K%s", text.c_str());
    std::fflush(stderr);
    G_Drawn = text;
}

void Erase() {
    if (G_Drawn.empty())
        return;
    std::fputs("\r\x1b[K", stderr);
    std::fflush(stderr);
}

} // namespace

TerminalProgressBar* TerminalProgressBar::Create(const char* label, uint64_t total) {
    return Quorlix::NewObject<TerminalProgressBar>(label, total);
}

TerminalProgressBar::TerminalProgressBar(const char* label, uint64_t total)
    : m_Label(label), m_Total(total),
      m_Terminal(Quorlix::Platform::IsTerminal(Quorlix::Platform::StandardErrorFile())) {}

TerminalProgressBar::~TerminalProgressBar() {
    Erase();
    G_Drawn.clear();
}

void TerminalProgressBar::Update(uint64_t done, const std::string& name) {
    // Names may come from an archive: no control byte reaches the terminal.
    m_Item = name;
    for (char& c : m_Item)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    if (!m_Terminal) {
        std::fprintf(stderr, "%s: %s\n", m_Label.c_str(), m_Item.c_str());
        return;
    }
    Draw(m_Total == 0 ? 100 : (done >= m_Total ? 100 : done * 100 / m_Total));
}

void TerminalProgressBar::SetProgress(float fraction) {
    // The caller clamps the fraction; a hair of slack keeps 0.29f at 29 %.
    if (m_Terminal)
        Draw(static_cast<uint64_t>(fraction * 100.0 + 1e-4));
}

void TerminalProgressBar::Draw(uint64_t percent) {
    const int filled = static_cast<int>(percent * k_BarWidth / 100);
    std::string text = m_Label + " [" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(k_BarWidth - filled), '.') + "] " +
                       std::to_string(percent) + "% ";
    // Long names keep their end, which tells most.
    text += m_Item.size() > k_ItemWidth ? "..." + m_Item.substr(m_Item.size() - k_ItemWidth + 3)
                                        : m_Item;
    DrawText(text);
}

void TerminalProgressBar::PrintLine(const std::string& line) {
    Erase();
    std::fprintf(stderr, "%s\n", line.c_str());
    if (!G_Drawn.empty())
        DrawText(G_Drawn);
    else
        std::fflush(stderr);
}

} // namespace QuorlixTool
