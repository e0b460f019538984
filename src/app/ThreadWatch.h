// A watched page: its address, the stream URL it is fetched under, its last
// line count and its display name, with the one list of all of them.
#pragma once

#include <cstdint>

#include "gui/Gadget.h"
#include "runtime/List.h"
#include "runtime/String.h"
#include "stream/Stream.h"

class ThreadWatch : public Object {
public:
    // Fetches the page once to learn its line count, lists it in LinkBox and
    // appends it to ThreadList; the null object when the page cannot be opened.
    static Ref<ThreadWatch> Create(const String& url, const String& name);
    // Lists a stored page without fetching it, keeping its stored count
    // (a page that is unreachable at start-up is not lost).
    static Ref<ThreadWatch> CreateUnfetched(const String& url, const String& name, int32_t length);
    // The record whose list box position is `i`, or the null object.
    static Ref<ThreadWatch> getbyindex(int32_t i);
    // Takes the record out of LinkBox and ThreadList and closes the index gap.
    virtual void remove();
    // One check of every watched page, ending with a save.
    static void update();

    String URL;
    String streamURL;
    int32_t Length = 0;
    String name;
    int32_t index = 0;
    uint8_t first = 0;

private:
    static Ref<ThreadWatch> Listed(const String& url, const String& name, int32_t length);
};

// Every record, in order of creation.
extern Ref<TList> ThreadList;
// The index the next record gets; equals the number of records.
extern int32_t NextIndex;
// The window's list box, one item per record (set by the main window).
extern Ref<TGadget> LinkBox;

// The stream URL of a page address: "://" becomes "::", and "http::" goes
// in front unless it already occurs.
String FixURL(const String& url);

// The number of ReadLine calls a stream allows before Eof, counted without
// keeping the lines, so a gigantic line costs no memory.
int32_t CountLines(const Ref<TStream>& stream);

// CR, LF and 0x00 would split a record of the three-line autosave format;
// they become spaces.
String WithoutLineBreaks(const String& text);

// Application output: one line to standard output.
void Say(const String& text);
