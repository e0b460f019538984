#include "stream/FileReplace.h"

#include "platform/AtomicFile.h"
#include "stream/FileSystem.h"

String ReplacementName(const String& path) { return path + ".new"; }

bool ReplaceWholeFile(const String& path, const std::string& bytes) {
    return platform::ReplaceFileContents(ReplacementName(path).ToWide(), path.ToWide(), bytes);
}

bool FinishCutOffReplacement(const String& path) {
    if (PathKind(path) == 0 && PathKind(ReplacementName(path)) == 1)
        platform::MoveReplacementIntoPlace(ReplacementName(path).ToWide(), path.ToWide());
    return PathKind(path) != 0;
}
