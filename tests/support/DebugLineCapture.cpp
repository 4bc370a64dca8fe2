#include "support/DebugLineCapture.h"

#include "quorlix/core/DebugLog.h"

#include <mutex>

namespace QuorlixTest {

namespace {
std::mutex G_CaptureMutex;
DebugLineCapture* G_Capture = nullptr;
} // namespace

DebugLineCapture::DebugLineCapture() {
    std::lock_guard<std::mutex> lock(G_CaptureMutex);
    m_PreviousCapture = G_Capture;
    G_Capture = this;
    m_PreviousSink = Quorlix::SetDebugLineSink(&DebugLineCapture::Receive);
}

DebugLineCapture::~DebugLineCapture() {
    std::lock_guard<std::mutex> lock(G_CaptureMutex);
    Quorlix::SetDebugLineSink(m_PreviousSink);
    G_Capture = m_PreviousCapture;
}

std::vector<std::string> DebugLineCapture::Lines() const {
    std::lock_guard<std::mutex> lock(G_CaptureMutex);
    return m_Lines;
}

void DebugLineCapture::Clear() {
    std::lock_guard<std::mutex> lock(G_CaptureMutex);
    m_Lines.clear();
}

void DebugLineCapture::Receive(const char* text) {
    std::lock_guard<std::mutex> lock(G_CaptureMutex);
    if (G_Capture != nullptr)
        G_Capture->m_Lines.emplace_back(text);
}

} // namespace QuorlixTest
