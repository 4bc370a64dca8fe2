#include "quorlix/platform/Dialog.h"

#include "quorlix/platform/Console.h"
#include "quorlix/platform/Process.h"
#include "quorlix/platform/internal/Text1252.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

namespace Quorlix::Platform {

namespace {

std::atomic<MessageDialogHook> G_DialogHook{nullptr};

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
    const std::string title = Internal::Windows1252ToUtf8(caption);
    const std::string message = Internal::Windows1252ToUtf8(text);
    std::vector<std::string> labels;
    std::vector<SDL_MessageBoxButtonData> data;
    labels.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        labels.push_back(Internal::Windows1252ToUtf8(buttons[i].m_Text));
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
