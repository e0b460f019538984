// A watched page: its address, the stream URL it is fetched under, its last
// line count and its display name, with the one list of all of them and its
// autosave file.
#pragma once

#include <chrono>
#include <cstdint>

#include "gui/Gadget.h"
#include "net/PageFetch.h"
#include "runtime/List.h"
#include "runtime/String.h"

// The Length of a page stored before any fetch of it came back (an Add still
// out when the program ended): its first whole fetch sets the count, with
// no question, as an Add would have. Stored as it is, as "-1".
constexpr int32_t kNotCounted = -1;

class ThreadWatch : public Object {
public:
    // Fetches the page once (on the calling thread) to learn its line count,
    // lists it in LinkBox and appends it to ThreadList; the null object when
    // the page cannot be fetched.
    static Ref<ThreadWatch> Create(const String& url, const String& name);
    // Lists a page whose line count is known, without fetching it.
    static Ref<ThreadWatch> Listed(const String& url, const String& name, int32_t length);
    // The record whose list box position is `i`, or the null object.
    static Ref<ThreadWatch> getbyindex(int32_t i);
    // Takes the record out of LinkBox and ThreadList and closes the index gap.
    virtual void remove();
    // One check of every watched page, fetched on worker threads while the
    // window goes on; the results are applied in list order, then the list
    // is saved (MainLoop.cpp).
    static void update();

    // What a check of this page found: the console lines, the question when
    // the count changed, the new count. Nothing for a record no longer listed.
    void ApplyCheck(const net::PageLines& page);
    // The console lines of a failed fetch.
    void ReportFailure(const net::PageLines& page);
    // True from listing until remove().
    bool IsListed() const { return _listed; }
    // True while the server's last answer asked not to be asked again yet
    // (429 or 503 with Retry-After); `why` then says until when and why.
    bool Waiting(String& why) const;
    // Keeps the wait a check's answer asked for (none for most answers).
    void NoteWait(const net::PageLines& page);

    String URL;
    String streamURL;
    int32_t Length = 0;
    String name;
    int32_t index = 0;
    uint8_t first = 0;

private:
    bool _listed = false;
    std::chrono::steady_clock::time_point _notBefore{};
    String _waitReason;
};

// Every record, in order of creation.
extern Ref<TList> ThreadList;
// The index the next record gets; equals the number of records.
extern int32_t NextIndex;
// The window's list box, one item per record (set by the main window).
extern Ref<TGadget> LinkBox;

// The stream URL of a page address: "://" becomes "::"; an address that
// then begins with "https::" is used as it is, any other gets "http::" in
// front unless "http::" already occurs.
String FixURL(const String& url);

// Lists every page stored in "autosave.dat" with its stored count, creating
// an empty file when there is none. A file that is there but cannot be read
// is never written over: the user is told once, and the list starts empty
// until the file can be read again (see SaveList). A partly written copy
// found beside a missing file is kept, not loaded, and the user is told.
void LoadList();
// Rewrites "autosave.dat" from ThreadList in one step, so the old list stays
// whole when anything fails. It never waits: when another program holds the
// file for a moment, the main loop tries again (RetryDueSave) for about a
// second. The first failure of a run of failures is shown to the user.
// False when the list is not on disk (yet).
bool SaveList();
// SaveList, unless the list is what the file holds since the last load or
// save: for the end of the program.
bool SaveListIfChanged();
// Runs a save that waits for a held file when its next try is due.
void RetryDueSave();
// Milliseconds until that try; -1 when no save waits.
int32_t SaveRetryDueIn();

// Application output: one line to standard output.
void Say(const String& text);
