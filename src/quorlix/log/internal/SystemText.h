#pragma once
// The system's error text as ErrArg::SystemError shows it.

#include <string>

namespace Quorlix::Internal {

/// `text` without the endings message tables put behind a text: one trailing line feed, then
/// one carriage return, then one full stop, each removed when present, in this order.
inline std::string TrimSystemText(std::string text) {
    for (char ending : {'\n', '\r', '.'})
        if (!text.empty() && text.back() == ending)
            text.pop_back();
    return text;
}

} // namespace Quorlix::Internal
