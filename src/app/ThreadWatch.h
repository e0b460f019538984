// A watched page: its address, the stream URL it is fetched under, its last
// line count and its display name, with the one list of all of them and its
// autosave file.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "app/PageState.h"
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
    // Lists a page whose line count (and state) is known, without fetching it.
    static Ref<ThreadWatch> Listed(const String& url, const String& name, int32_t length,
                                   const PageState& state = PageState());
    // The record whose list box position is `i`, or the null object.
    static Ref<ThreadWatch> getbyindex(int32_t i);
    // Takes the record out of LinkBox and ThreadList and closes the index gap.
    virtual void remove();
    // One check of every watched page, fetched on worker threads while the
    // window goes on; the results are applied in list order, then the list
    // is saved (MainLoop.cpp).
    static void update();

    // What a check of this page found: the console lines, the question when
    // the count changed, the new count, the state. Nothing for a record no
    // longer listed.
    void ApplyCheck(const net::PageLines& page);
    // The look at every stored page at start-up: a failure is reported and
    // shown, an unchanged page is up to date; a changed one is left to the
    // first cycle, which asks about it.
    void ApplyStartUpCheck(const net::PageLines& page);
    // The console lines of a failed fetch.
    void ReportFailure(const net::PageLines& page);
    // The user opened the page from the list: its new activity is seen.
    void Seen();
    // Puts the state into the record's row.
    void ShowState();
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
    PageState state;

private:
    // A failed fetch: the console lines and the failing state.
    void NoteFailure(const net::PageLines& page);
    // Opens the page in the browser when its address is a web address
    // (app/WebAddress.h); true when the browser took it, and then its new
    // activity is seen. Otherwise the user is told why.
    bool Open();

    bool _listed = false;
    std::chrono::steady_clock::time_point _notBefore{};
    String _waitReason;
};

// The columns of LinkBox after the names: the last check and the state.
constexpr int32_t kLastCheckColumn = 1;
constexpr int32_t kStateColumn = 2;
// Gives a list box those columns.
void AddPageColumns(const Ref<TGadget>& list);

// Every record, in order of creation.
extern Ref<TList> ThreadList;
// The records of ThreadList, in its order (none before it exists).
std::vector<Ref<ThreadWatch>> ListedRecords();
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
// second. Then the page states (SavePageStates). The first failure of a run
// of failures is shown to the user. False when the list is not on disk (yet).
bool SaveList();
// SaveList, unless the list is what the file holds since the last load or
// save, and the page states in any case: for the end of the program.
bool SaveListIfChanged();
// Rewrites the page states beside the list (app/StateFile.h) when they
// changed since the last save; not while the list itself could not be
// read, whose pages' states are in there. A file held for a moment is
// written at the next save.
bool SavePageStates();
// Runs a save that waits for a held file when its next try is due.
void RetryDueSave();
// Milliseconds until that try; -1 when no save waits.
int32_t SaveRetryDueIn();
// For the end of the program, which cannot wait any longer: a save still
// waiting for a held file counts as failed, and the user is told as of any
// other failure.
void EndSaveRetries();

// Application output: one line to standard output.
void Say(const String& text);
