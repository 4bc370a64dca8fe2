#include "quorlix/platform/Locale.h"

#include <clocale>
#include <cstdlib>
#include <initializer_list>

namespace Quorlix::Platform {

namespace {

// The first of `names` set to a non-empty value; "C" when none is.
std::string FirstSet(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != 0)
            return value;
    }
    return "C";
}

} // namespace

std::string LocaleLanguage(const std::string& locale) {
    const size_t end = locale.find_first_of("_.@");
    return end == std::string::npos ? locale : locale.substr(0, end);
}

LocaleSettings GetLocaleSettings() {
    LocaleSettings settings;
    settings.m_UserLocale = FirstSet({"LC_ALL", "LC_MESSAGES", "LANG"});
    settings.m_UserLanguage = LocaleLanguage(settings.m_UserLocale);
    settings.m_SystemLocale = FirstSet({"LANG"});
    settings.m_SystemLanguage = LocaleLanguage(settings.m_SystemLocale);
    // A null locale only queries.
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    settings.m_ThreadLocale = current != nullptr ? current : "C";
    return settings;
}

} // namespace Quorlix::Platform
