#include "app/ThreadWatch.h"

#include <vector>

#include "app/Autosave.h"
#include "app/ListFolder.h"
#include "app/PageChecks.h"
#include "app/StateFile.h"
#include "app/WatchStatus.h"
#include "event/SystemDriver.h"
#include "gui/GuiDriver.h"
#include "stream/FileStream.h"

Ref<TList> ThreadList;
int32_t NextIndex = 0;
Ref<TGadget> LinkBox;

namespace {

// The name the user knows the list by; its path is ListFile(kFile).
const char* const kFile = kWatchListFile;
// The page states beside it.
const char* const kStateFile = kPageStateFile;

// The file was there at start-up but could not be read: nothing may be
// written over it until it can.
bool g_fileUnread = false;
// The last save failed, and the user has been told.
bool g_saveFailing = false;
// The same for the page states.
bool g_stateSaveFailing = false;

}  // namespace

String FixURL(const String& url) {
    String fixed = ReplaceText(url, "://", "::");
    if (FindText(fixed, "http::", 1) != 0 || fixed.HasPrefix("https::")) return fixed;
    return String("http::") + fixed;
}

void Say(const String& text) { PrintLine(text); }

Ref<ThreadWatch> ThreadWatch::Listed(const String& url, const String& name, int32_t length) {
    Ref<ThreadWatch> record = New<ThreadWatch>();
    record->URL = WithoutLineBreaks(url);
    record->streamURL = FixURL(record->URL);
    record->name = WithoutLineBreaks(name);
    record->Length = length;
    record->first = 1;
    record->index = NextIndex++;
    record->_listed = true;
    AppendGadgetItem(LinkBox, record->name, 0, 0, record->streamURL, nullptr);
    ThreadList->AddLast(record);
    record->ShowState();
    return record;
}

void AddPageColumns(const Ref<TGadget>& list) {
    // The names take the most room, the state what is left of the rest.
    AddGadgetColumn(list, "Name", 100, 3);
    AddGadgetColumn(list, "Last check", 80, 0);
    AddGadgetColumn(list, "State", 100, 2);
}

void ThreadWatch::ShowState() {
    StatesChanged();
    if (!_listed || CountGadgetColumns(LinkBox) <= kStateColumn) return;
    int64_t now = NowSeconds();
    SetGadgetItemCell(LinkBox, index, kLastCheckColumn, LastCheckText(state, now));
    SetGadgetItemCell(LinkBox, index, kStateColumn, StateText(state, now));
}

Ref<ThreadWatch> ThreadWatch::Create(const String& url, const String& name) {
    String streamURL = FixURL(WithoutLineBreaks(url));
    net::PageLines page = net::CountPageLines(streamURL.ToBytes8());
    if (!page.ok) return nullptr;
    return Listed(url, name, page.lines);
}

Ref<ThreadWatch> ThreadWatch::getbyindex(int32_t i) {
    for (Ref<Object> o : *ThreadList) {
        Ref<ThreadWatch> record = Cast<ThreadWatch>(o);
        if (record && record->index == i) return record;
    }
    return nullptr;
}

void ThreadWatch::remove() {
    Ref<ThreadWatch> self(this);  // the list may hold the last reference
    DeleteGadgetItem(LinkBox, index);
    ThreadList->Remove(self);
    _listed = false;
    StatesChanged();
    for (Ref<Object> o : *ThreadList) {
        Ref<ThreadWatch> record = Cast<ThreadWatch>(o);
        if (record && record->index > index) --record->index;
    }
    --NextIndex;
}

void ThreadWatch::ReportFailure(const net::PageLines& page) {
    Say(String("Failed to connect to ") + name + ".");
    Say(String("Reason: ") + FailureText(page) + ".");
}

void ThreadWatch::NoteFailure(const net::PageLines& page) {
    ReportFailure(page);
    state.CheckFailed(NowSeconds(), FailureText(page));
    ShowState();
}

bool ThreadWatch::Open() {
    if (!OpenURL(URL)) return false;
    state.newActivity = false;
    return true;
}

void ThreadWatch::Seen() {
    bool wasNew = state.newActivity;
    if (!Open() || !wasNew) return;
    ShowState();
    SavePageStates();
}

bool ThreadWatch::Waiting(String& why) const {
    if (std::chrono::steady_clock::now() >= _notBefore) return false;
    why = _waitReason;
    return true;
}

void ThreadWatch::NoteWait(const net::PageLines& page) {
    _notBefore = std::chrono::steady_clock::now() + std::chrono::seconds(page.waitSeconds);
    _waitReason = FailureText(page);
}

void ThreadWatch::ApplyCheck(const net::PageLines& page) {
    if (!_listed) return;
    NoteWait(page);
    if (!page.ok) {
        // A failed fetch is not a page: the stored count stays.
        NoteFailure(page);
        return;
    }
    state.CheckSucceeded(NowSeconds());
    Say(String("Old count: ") + FormatInt(Length));
    Say(String("New Count: ") + FormatInt(page.lines));
    if (page.lines == Length) {
        ShowState();
        return;
    }
    // Marked until the page is opened: now, or later from the list.
    state.newActivity = true;
    ShowState();
    if (Confirm(String("Someone commented on ") + name + ". Would you like to visit that page?", 0)) Open();
    Length = page.lines;
    ShowState();
    SavePageStates();
}

void ThreadWatch::ApplyStartUpCheck(const net::PageLines& page) {
    if (!_listed) return;
    if (!page.ok) {
        NoteWait(page);
        NoteFailure(page);
    } else if (page.lines == Length) {
        state.CheckSucceeded(NowSeconds());
        ShowState();
    }
}

namespace {

// Tells the user of the first failure of a run of failures; `saved` again.
bool TellFirstFailure(bool saved, bool& failing, const String& message) {
    if (!saved && !failing) Notify(message);
    failing = !saved;
    return saved;
}

// The stored states of records just listed. A state file that is missing
// or broken leaves them not checked yet; it never costs a page.
void ApplyStoredStates(const std::vector<Ref<ThreadWatch>>& records) {
    std::vector<std::pair<String, String>> keys;
    for (const Ref<ThreadWatch>& record : records) keys.emplace_back(record->URL, record->name);
    std::vector<PageState> states = MatchStates(keys, ReadStateFile(ListFile(kStateFile)));
    for (size_t i = 0; i < records.size(); ++i) {
        records[i]->state = states[i];
        records[i]->ShowState();
    }
}

void ListStored(const std::vector<StoredPage>& pages) {
    // A visible list box repaints with every row added; hidden, hundreds of
    // rows go in at once.
    HideGadget(LinkBox);
    std::vector<Ref<ThreadWatch>> listed;
    for (const StoredPage& page : pages) {
        // The empty line after the last record gives an entry with no
        // address, which names no page.
        if (!page.url.IsEmpty()) listed.push_back(ThreadWatch::Listed(page.url, page.name, page.length));
    }
    ApplyStoredStates(listed);
    ShowGadget(LinkBox);
}

}  // namespace

void LoadList() {
    g_fileUnread = false;
    g_saveFailing = false;
    g_stateSaveFailing = false;
    std::vector<StoredPage> pages;
    switch (ReadWatchFile(ListFile(kFile), pages)) {
    case WatchFileState::Read:
        ListStored(pages);
        break;
    case WatchFileState::Missing:
        WriteWatchFile(ListFile(kFile), {});
        break;
    case WatchFileState::Unreadable:
        g_fileUnread = true;
        Notify(String("The watch list in ") + kFile +
               " cannot be read (another program may hold it). The list starts empty, and the file is not "
               "written until it can be read again; its pages are then added back.");
        break;
    }
}

bool SaveList() {
    if (g_fileUnread) {
        std::vector<StoredPage> pages;
        if (ReadWatchFile(ListFile(kFile), pages) == WatchFileState::Unreadable) return false;
        g_fileUnread = false;
        ListStored(pages);
        Say(String("The watch list in ") + kFile + " could be read again; its pages are back in the list.");
    }
    std::vector<StoredPage> pages;
    for (Ref<Object> o : *ThreadList) {
        if (Ref<ThreadWatch> record = Cast<ThreadWatch>(o)) pages.push_back({record->URL, record->name, record->Length});
    }
    bool saved = TellFirstFailure(WriteWatchFile(ListFile(kFile), pages), g_saveFailing,
                                  String("The watch list could not be saved to ") + kFile +
                                      ". Changes made since the last save are lost when the program ends unless a "
                                      "later save works.");
    SavePageStates();
    return saved;
}

bool SavePageStates() {
    if (g_fileUnread) return false;
    std::vector<PageStateRecord> records;
    for (Ref<Object> o : *ThreadList) {
        if (Ref<ThreadWatch> record = Cast<ThreadWatch>(o)) records.push_back({record->URL, record->name, record->state});
    }
    return TellFirstFailure(WriteStateFile(ListFile(kStateFile), records), g_stateSaveFailing,
                            String("The page states could not be saved to ") + kStateFile +
                                ". After the next start, pages may show older states, and new activity not yet "
                                "seen may show as seen.");
}
