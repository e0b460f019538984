#include "app/Autosave.h"

#include "app/ThreadWatch.h"
#include "platform/AtomicFile.h"
#include "stream/FileStream.h"
#include "stream/FileSystem.h"

Ref<TStream> AutosaveStream;

namespace {

const char* const kFile = "autosave.dat";
const char* const kTemporary = "autosave.dat.new";

}  // namespace

void LoadList() {
    AutosaveStream = OpenFileForReading(String(kFile));
    if (!AutosaveStream) {
        // Only create the file when there is none: an unreadable file that
        // exists must not be truncated.
        if (PathKind(kFile) == 0) {
            AutosaveStream = OpenFileForWriting(String(kFile));
            if (AutosaveStream) CloseFileStream(AutosaveStream);
        }
        return;
    }
    while (!AutosaveStream->Eof()) {
        String url = ReadLine(AutosaveStream);
        String name = ReadLine(AutosaveStream);
        int32_t length = ParseInt(ReadLine(AutosaveStream));
        Ref<ThreadWatch> record = ThreadWatch::Create(url, name);
        if (record) {
            record->Length = length;
        } else if (!url.IsEmpty()) {
            // Unreachable now (offline, say): keep it rather than lose it.
            ThreadWatch::CreateUnfetched(url, name, length);
        }
    }
    CloseFileStream(AutosaveStream);
}

bool SaveList() {
    AutosaveStream = OpenFileForWriting(String(kTemporary));
    if (!AutosaveStream) return false;
    bool written = true;
    int64_t expected = 0;  // bytes the file must hold: each line plus CR LF
    for (Ref<Object> o : *ThreadList) {
        Ref<ThreadWatch> record = Cast<ThreadWatch>(o);
        if (!record) continue;
        for (const String& line : {record->URL, record->name, FormatInt(record->Length)}) {
            written = WriteLine(AutosaveStream, line) && written;
            expected += line.Length() + 2;
        }
    }
    FlushAnyStream(AutosaveStream);
    CloseFileStream(AutosaveStream);
    // A full disk may only show when the buffers are written out, so the
    // size on disk is the final word.
    if (!written || PathByteSize(kTemporary) != expected) {
        RemoveFile(kTemporary);
        return false;
    }
    return platform::CommitFileReplacement(String(kTemporary).ToWide(), String(kFile).ToWide());
}
