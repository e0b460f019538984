#include "app/ThreadWatch.h"

#include <chrono>
#include <vector>

#include "app/Autosave.h"
#include "app/ListFolder.h"
#include "app/PageChecks.h"
#include "app/StateFile.h"
#include "app/WatchStatus.h"
#include "app/WebAddress.h"
#include "event/SystemDriver.h"
#include "gui/GuiDriver.h"
#include "stream/FileStream.h"

Ref<TList> ThreadList;
int32_t NextIndex = 0;
Ref<TGadget> LinkBox;

namespace {

// A save that finds the file held by another program is tried again this
// often, from the main loop, for this long before it counts as failed.
constexpr auto kSaveRetryEvery = std::chrono::milliseconds(50);
constexpr auto kSaveRetryFor = std::chrono::milliseconds(1000);

using Clock = std::chrono::steady_clock;

// The file was there at start-up but could not be read: nothing may be
// written over it until it can.
bool g_fileUnread = false;
// The last save failed, and the user has been told.
bool g_saveFailing = false;
// The list as the file holds it since the last load or save.
std::string g_savedBytes;
// A save waits for a file another program holds: since when, and when next.
bool g_retrying = false;
Clock::time_point g_busySince, g_retryAt;
// The page states: the last save failed and the user has been told; what
// the file holds since the last save.
bool g_stateSaveFailing = false;
std::string g_savedStates;

}  // namespace

String FixURL(const String& url) {
    String fixed = ReplaceText(url, "://", "::");
    if (FindText(fixed, "http::", 1) != 0 || fixed.HasPrefix("https::")) return fixed;
    return String("http::") + fixed;
}

void Say(const String& text) { PrintLine(text); }

Ref<ThreadWatch> ThreadWatch::Listed(const String& url, const String& name, int32_t length, const PageState& state) {
    Ref<ThreadWatch> record = New<ThreadWatch>();
    record->URL = WithoutLineBreaks(url);
    record->streamURL = FixURL(record->URL);
    record->name = WithoutLineBreaks(name);
    record->Length = length;
    record->first = 1;
    record->index = NextIndex++;
    record->_listed = true;
    record->state = state;
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

std::vector<Ref<ThreadWatch>> ListedRecords() {
    std::vector<Ref<ThreadWatch>> records;
    if (!ThreadList) return records;
    for (Ref<Object> o : *ThreadList)
        if (Ref<ThreadWatch> record = Cast<ThreadWatch>(o)) records.push_back(record);
    return records;
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

namespace {

// An address as a message shows it: a stored one may be of any length.
String ShownAddress(const String& address) {
    constexpr int32_t kLongest = 200;
    if (address.Length() <= kLongest) return address;
    return address.Slice(0, kLongest) + String(u"\u2026");
}

}  // namespace

bool ThreadWatch::Open() {
    String url;
    if (!BrowserAddress(URL, url)) {
        Notify(String("Could not open ") + name + ": \"" + ShownAddress(URL) + "\" is not a web address.");
        return false;
    }
    if (!OpenURL(url)) {
        Notify(String("Could not open ") + name + ": the browser could not be started.");
        return false;
    }
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
    if (Length == kNotCounted) {
        // Stored before its first fetch came back: nothing to compare with.
        Length = page.lines;
        ShowState();
        return;
    }
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
    } else if (page.lines == Length || Length == kNotCounted) {
        // A page stored before its first count came back gets it now.
        Length = page.lines;
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

// Lists the stored pages with their stored states, each row filled once. A
// state file that is missing or broken leaves them not checked yet; it
// never costs a page.
void ListStored(const std::vector<StoredPage>& pages) {
    // The empty line after the last record gives an entry with no address,
    // which names no page. Stored lines hold no line breaks, so the keys
    // are the addresses and names the records will have.
    std::vector<const StoredPage*> named;
    std::vector<std::pair<String, String>> keys;
    for (const StoredPage& page : pages) {
        if (page.url.IsEmpty()) continue;
        named.push_back(&page);
        keys.emplace_back(page.url, page.name);
    }
    SettleCutOffReplacements(ListFile(kPageStateFile));
    std::vector<PageState> states = MatchStates(keys, ReadStateFile(ListFile(kPageStateFile)));
    // A visible list box repaints with every row added; hidden, hundreds of
    // rows go in at once.
    HideGadget(LinkBox);
    for (size_t i = 0; i < named.size(); ++i)
        ThreadWatch::Listed(named[i]->url, named[i]->name, named[i]->length, states[i]);
    ShowGadget(LinkBox);
}

std::vector<StoredPage> ListedPages() {
    std::vector<StoredPage> pages;
    for (const Ref<ThreadWatch>& record : ListedRecords()) pages.push_back({record->URL, record->name, record->Length});
    return pages;
}

void TellKeptCopies(const std::vector<String>& kept) {
    if (kept.empty()) return;
    Notify(String("The watch list ") + kWatchListFile + " is missing. A partly written copy was found and kept as " +
           String::Join(kept, ", ") + "; it is not loaded, as pages may be missing from it. The list starts empty.");
}

// Busy: tried again from the main loop while that stays short; then, as
// any other failure, it is shown once per run of failures.
bool Saved(ReplaceResult result, std::string bytes) {
    Clock::time_point now = Clock::now();
    if (result == ReplaceResult::Busy) {
        if (!g_retrying) g_busySince = now;
        g_retrying = now - g_busySince < kSaveRetryFor;
        g_retryAt = now + kSaveRetryEvery;
        if (g_retrying) return false;
    }
    g_retrying = false;
    bool saved = result == ReplaceResult::Replaced;
    if (saved) g_savedBytes = std::move(bytes);
    return TellFirstFailure(saved, g_saveFailing,
                            String("The watch list could not be saved to ") + kWatchListFile +
                                ". Changes made since the last save are lost when the program ends unless a later "
                                "save works.");
}

}  // namespace

void LoadList() {
    g_fileUnread = false;
    g_saveFailing = false;
    g_retrying = false;
    g_savedBytes.clear();
    g_stateSaveFailing = false;
    g_savedStates.clear();
    std::vector<StoredPage> pages;
    std::vector<String> kept;
    switch (ReadWatchFile(ListFile(kWatchListFile), pages, &kept)) {
    case WatchFileState::Read:
        ListStored(pages);
        g_savedBytes = EncodeWatchList(ListedPages());
        break;
    case WatchFileState::Missing:
        TellKeptCopies(kept);
        WriteWatchFile(ListFile(kWatchListFile), {});
        break;
    case WatchFileState::Unreadable:
        g_fileUnread = true;
        Notify(String("The watch list in ") + kWatchListFile +
               " cannot be read (another program may hold it). The list starts empty, and the file is not "
               "written until it can be read again; its pages are then added back.");
        break;
    }
}

bool SaveList() {
    if (g_fileUnread) {
        std::vector<StoredPage> pages;
        if (ReadWatchFile(ListFile(kWatchListFile), pages) == WatchFileState::Unreadable) return false;
        g_fileUnread = false;
        ListStored(pages);
        Say(String("The watch list in ") + kWatchListFile + " could be read again; its pages are back in the list.");
    }
    std::string bytes = EncodeWatchList(ListedPages());
    ReplaceResult result = ReplaceWholeFile(ListFile(kWatchListFile), bytes);
    bool saved = Saved(result, std::move(bytes));
    SavePageStates();
    return saved;
}

bool SaveListIfChanged() {
    if (!g_retrying && !g_fileUnread && EncodeWatchList(ListedPages()) == g_savedBytes) {
        SavePageStates();
        return true;
    }
    return SaveList();
}

void RetryDueSave() {
    if (g_retrying && Clock::now() >= g_retryAt) SaveList();
}

void EndSaveRetries() {
    if (g_retrying) Saved(ReplaceResult::Failed, std::string());
}

int32_t SaveRetryDueIn() {
    if (!g_retrying) return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(g_retryAt - Clock::now()).count();
    return static_cast<int32_t>(std::max<int64_t>(left, 0));
}

bool SavePageStates() {
    if (g_fileUnread) return false;
    std::vector<PageStateRecord> records;
    for (const Ref<ThreadWatch>& record : ListedRecords())
        records.push_back({record->URL, record->name, record->state});
    std::string bytes = EncodePageStates(records);
    if (bytes == g_savedStates) return true;
    ReplaceResult result = ReplaceWholeFile(ListFile(kPageStateFile), bytes);
    // A file held for a moment is written at the next save.
    if (result == ReplaceResult::Busy) return false;
    if (result == ReplaceResult::Replaced) g_savedStates = std::move(bytes);
    return TellFirstFailure(result == ReplaceResult::Replaced, g_stateSaveFailing,
                            String("The page states could not be saved to ") + kPageStateFile +
                                ". After the next start, pages may show older states, and new activity not yet "
                                "seen may show as seen.");
}
