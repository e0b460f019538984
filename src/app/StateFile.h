// The page states that must survive a restart (new-activity marks, the last
// check, since when and why a page fails) in a file of their own beside the
// watch list, so the list keeps its three-line records and every reader of
// it is unaffected.
//
// The file is UTF-8 with CR LF line ends: the line kStateFileHeader, then
// four lines per page: its address, its name, "<mark> <last check> <failing
// since>" (mark 0 or 1; times in seconds since 1970, 0 for none) and the
// failure reason (empty when not failing).
//
// A state belongs to the listed page with the same address and name; of
// several such pages, the first state to the first page, and so on. A state
// whose page is not listed is not kept: the file is always written from the
// listed pages alone.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/PageState.h"
#include "stream/FileReplace.h"
#include "runtime/String.h"

extern const char kStateFileHeader[];

struct PageStateRecord {
    String url;
    String name;
    PageState state;
};

std::string EncodePageStates(const std::vector<PageStateRecord>& records);
// Every whole, well-formed record in file order. A record cut short, or one
// whose number line is not exactly three numbers, is left out; so is
// everything when the first line is not the header.
std::vector<PageStateRecord> DecodePageStates(const std::string& bytes);

// The records of the file; none when it is missing, unreadable, cut while
// being read or larger than any list could make it. Never raises. Cut-off
// replacements are the owner's to settle first (FileReplace.h).
std::vector<PageStateRecord> ReadStateFile(const String& path);
// Replaces the whole file in one step, as the list is replaced (FileReplace.h).
ReplaceResult WriteStateFile(const String& path, const std::vector<PageStateRecord>& records);

// The state of each page (address, name), in order, from the records;
// a page that no record names keeps the default state.
std::vector<PageState> MatchStates(const std::vector<std::pair<String, String>>& pages,
                                   const std::vector<PageStateRecord>& records);
