#include "quorlix/core/internal/SiblingSearch.h"

#include "quorlix/platform/LoadedModules.h"

#include <string>
#include <string_view>

namespace Quorlix::Internal {

namespace {

struct Probe {
    uint64_t m_Times[k_SiblingCount] = {};
    // A separate flag: a write time whose low or high half happens to be 0 is still a time.
    bool m_Recorded[k_SiblingCount] = {};
    SiblingSearch m_Result{0, 0};

    void Directory(std::string_view directory) {
        std::string path;
        for (int i = 0; i < k_SiblingCount; ++i) {
            path.assign(directory);
            if (!path.ends_with('/'))
                path += '/';
            path += k_SiblingLibraries[i];
            uint64_t written = 0;
            if (!Platform::GetFileWriteTime(path.c_str(), written))
                continue;
            uint32_t bit = 1u << i;
            if (m_Recorded[i] && m_Times[i] != written)
                bit |= k_SiblingAmbiguousBit; // the first time found stays recorded
            else {
                m_Times[i] = written;
                m_Recorded[i] = true;
            }
            m_Result.m_Found |= bit;
            if ((bit & k_SiblingAmbiguousBit) != 0)
                m_Result.m_Ambiguous |= bit;
        }
    }
};

} // namespace

SiblingSearch SearchSiblingLibraries(const char* searchPath) {
    Probe probe;
    if (searchPath == nullptr || *searchPath == '\0')
        return probe.m_Result;
    std::string_view rest(searchPath);
    while (true) {
        const size_t colon = rest.find(':');
        std::string_view piece = rest.substr(0, colon);
        if (piece.ends_with('/'))
            piece.remove_suffix(1);
        if (!piece.empty())
            probe.Directory(piece);
        if (colon == std::string_view::npos)
            break;
        rest.remove_prefix(colon + 1);
    }
    probe.Directory("./");
    return probe.m_Result;
}

} // namespace Quorlix::Internal
