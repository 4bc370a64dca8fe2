#include "ProgressBar.h"

#include "quorlix/platform/File.h"

#include <cstdio>

namespace QuorlixTool {

namespace {

constexpr int k_BarWidth = 30;
constexpr size_t k_ItemWidth = 40;
// The bar currently drawn, so that messages can clear it and draw it again.
std::string G_Drawn;

void Draw(const std::string& text) {
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

ProgressBar::ProgressBar(const char* label, uint64_t total)
    : m_Label(label), m_Total(total),
      m_Terminal(Quorlix::Platform::IsTerminal(Quorlix::Platform::StandardErrorFile())) {}

ProgressBar::~ProgressBar() {
    Erase();
    G_Drawn.clear();
}

void ProgressBar::Update(uint64_t done, const std::string& name) {
    // Names may come from an archive: no control byte reaches the terminal.
    std::string item = name;
    for (char& c : item)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    if (!m_Terminal) {
        std::fprintf(stderr, "%s: %s\n", m_Label.c_str(), item.c_str());
        return;
    }
    const uint64_t percent = m_Total == 0 ? 100 : (done >= m_Total ? 100 : done * 100 / m_Total);
    const int filled = static_cast<int>(percent * k_BarWidth / 100);
    std::string text = m_Label + " [" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(k_BarWidth - filled), '.') + "] " +
                       std::to_string(percent) + "% ";
    // Long names keep their end, which tells most.
    text += item.size() > k_ItemWidth ? "..." + item.substr(item.size() - k_ItemWidth + 3) : item;
    Draw(text);
}

void ProgressBar::PrintLine(const std::string& line) {
    Erase();
    std::fprintf(stderr, "%s\n", line.c_str());
    if (!G_Drawn.empty())
        Draw(G_Drawn);
    else
        std::fflush(stderr);
}

} // namespace QuorlixTool
