#include "ToolFiles.h"

#include "quorlix/Quorlix.h"
#include "quorlix/platform/File.h"

using namespace Quorlix;

namespace QuorlixTool {

bool WriteWhole(const std::string& path, const StreamPipeMemory& data) {
    const std::string part = path + ".part";
    bool written = false;
    {
        Obj<StreamPipeFile> file(StreamPipeFile::Create(part.c_str(), IOWrite | 12));
        written = file->IsOpen() && file->Write(data.GetData(), data.GetSize()) == data.GetSize();
    }
    if (written && Platform::ReplaceFile(part.c_str(), path.c_str()))
        return true;
    (void)Platform::DeleteFile(part.c_str());
    return false;
}

} // namespace QuorlixTool
