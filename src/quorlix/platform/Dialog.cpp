#include "quorlix/platform/Dialog.h"

#include "quorlix/platform/Console.h"
#include "quorlix/platform/Process.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

namespace Quorlix::Platform {

namespace {

std::atomic<MessageDialogHook> G_DialogHook{nullptr};

// Code points of the bytes 0x80 to 0x9F in Windows-1252; 0 where the code page has a gap.
constexpr char16_t k_Windows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::string ToUtf8(const char* text) {
    std::string out;
    if (text == nullptr)
        return out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        unsigned code = *p;
        if (code >= 0x80 && code < 0xA0)
            code = k_Windows1252High[code - 0x80] != 0 ? k_Windows1252High[code - 0x80] : '?';
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

bool DisplayPresent() {
    const std::string x11 = GetEnvironmentVariable("DISPLAY");
    const std::string wayland = GetEnvironmentVariable("WAYLAND_DISPLAY");
    return !x11.empty() || !wayland.empty();
}

} // namespace

MessageDialogHook SetMessageDialogHook(MessageDialogHook hook) {
    return G_DialogHook.exchange(hook);
}

bool DialogsAvailable() {
    if (G_DialogHook.load() != nullptr)
        return true;
    return DisplayPresent() && !HasEnvironmentVariable("QUORLIX_NO_DIALOGS");
}

int ShowMessageDialog(const char* caption, const char* text, const DialogButton* buttons,
                      int count) {
    if (MessageDialogHook hook = G_DialogHook.load())
        return hook(caption, text, buttons, count);
    if (!DialogsAvailable() || count < 1 || buttons == nullptr)
        return k_DialogFailed;
    const std::string title = ToUtf8(caption);
    const std::string message = ToUtf8(text);
    std::vector<std::string> labels;
    std::vector<SDL_MessageBoxButtonData> data;
    labels.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        labels.push_back(ToUtf8(buttons[i].m_Text));
        Uint32 flags = 0;
        if (i == 0)
            flags =
                SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        data.push_back({flags, buttons[i].m_Id, nullptr});
    }
    for (int i = 0; i < count; ++i)
        data[static_cast<size_t>(i)].text = labels[static_cast<size_t>(i)].c_str();
    SDL_MessageBoxData box{};
    box.flags = SDL_MESSAGEBOX_ERROR;
    box.title = title.c_str();
    box.message = message.c_str();
    box.numbuttons = count;
    box.buttons = data.data();
    int pressed = k_DialogClosed;
    if (SDL_ShowMessageBox(&box, &pressed) != 0)
        return k_DialogFailed;
    return pressed < 0 ? k_DialogClosed : pressed;
}

void ShowSystemMessage(const char* caption, const char* text) {
    const char* parts[] = {caption != nullptr ? caption : "", "\n", text != nullptr ? text : "",
                           "\n"};
    std::string line;
    for (const char* part : parts)
        line += part;
    // One write, so the message is not torn apart by other threads' output.
    WriteStandardError(line.data(), line.size());
}

} // namespace Quorlix::Platform
