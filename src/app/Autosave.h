// The watch list on disk: three lines per page (address, name, decimal line
// count), CR LF line ends, no header. Text that fits in 8 bits is written
// one byte per character, as the file always was; a list with any other
// character is written as UTF-8 after the mark EF BB BF. Files without the
// mark are read the 8-bit way, so every file written so far still loads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/String.h"
#include "stream/FileReplace.h"

struct StoredPage {
    String url;
    String name;
    int32_t length = 0;
};

// CR, LF and 0x00 would end a line of the file; they become spaces.
String WithoutLineBreaks(const String& text);

// Records in file order. A line ends at LF, at 0x00 or at the end of the
// data, CR is dropped; the count line is read with ParseInt. Missing lines
// of a short last record read as empty.
std::vector<StoredPage> DecodeWatchList(const std::string& bytes);
std::string EncodeWatchList(const std::vector<StoredPage>& pages);

enum class WatchFileState { Missing, Unreadable, Read };

// Reads the whole file. Replacements cut off before their last step are
// settled first (SettleCutOffReplacements): a whole one beside a missing
// file is what is read; `kept` names those that cannot be shown whole.
WatchFileState ReadWatchFile(const String& path, std::vector<StoredPage>& pages, std::vector<String>* kept = nullptr);
// Replaces the whole file in one step: unless Replaced, the old file stays
// as it was.
ReplaceResult WriteWatchFile(const String& path, const std::vector<StoredPage>& pages);
