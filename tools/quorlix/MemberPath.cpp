#include "MemberPath.h"

#include <string_view>

namespace QuorlixTool {

const char* CheckMemberPath(const std::string& name) {
    if (name.empty())
        return "empty name";
    if (name.front() == '/')
        return "absolute path";
    for (const unsigned char c : name) {
        if (c < 0x20 || c == 0x7F)
            return "control character in the name";
        if (c == '\\')
            return "backslash in the name";
    }
    for (size_t start = 0; start <= name.size();) {
        size_t end = name.find('/', start);
        if (end == std::string::npos)
            end = name.size();
        const std::string_view part(name.data() + start, end - start);
        if (part.empty())
            return "empty path component";
        if (part == "." || part == "..")
            return "path component leaves the folder";
        start = end + 1;
    }
    return nullptr;
}

} // namespace QuorlixTool
