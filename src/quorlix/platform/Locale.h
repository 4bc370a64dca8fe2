#pragma once
// The locale settings the process runs under, as the log reports them before fonts are made.

#include "quorlix/platform/Export.h"

#include <string>

namespace Quorlix::Platform {

/// Locale names as "language_TERRITORY.codeset" (or "C"), with their language parts.
struct LocaleSettings {
    /// The user's choice for messages: LC_ALL, else LC_MESSAGES, else LANG; "C" when none set.
    std::string m_UserLocale;
    std::string m_UserLanguage;
    /// The session's default: LANG; "C" when not set.
    std::string m_SystemLocale;
    std::string m_SystemLanguage;
    /// The locale in force in the process for character classes (setlocale's LC_CTYPE).
    std::string m_ThreadLocale;
};

/// Reads the environment and the process locale; never changes either.
QUORLIX_API LocaleSettings GetLocaleSettings();

/// The language part of a locale name: what precedes '_', '.' or '@' ("de" for
/// "de_DE.UTF-8"; "C" stays "C").
QUORLIX_API std::string LocaleLanguage(const std::string& locale);

} // namespace Quorlix::Platform
