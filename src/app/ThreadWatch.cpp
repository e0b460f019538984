#include "app/ThreadWatch.h"

#include "app/Autosave.h"
#include "event/SystemDriver.h"
#include "gui/GuiDriver.h"
#include "stream/FileStream.h"
#include "stream/StreamFactory.h"

Ref<TList> ThreadList;
int32_t NextIndex = 0;
Ref<TGadget> LinkBox;

String FixURL(const String& url) {
    String fixed = ReplaceText(url, "://", "::");
    if (FindText(fixed, "http::", 1) != 0) return fixed;
    return String("http::") + fixed;
}

int32_t CountLines(const Ref<TStream>& stream) {
    int32_t count = 0;
    while (!stream->Eof()) {
        // The same line ends as ReadLine: LF, 0x00 or the end of the data.
        uint8_t byte;
        while (stream->Read(&byte, 1) == 1 && byte != '\n' && byte != 0) {
        }
        ++count;
    }
    return count;
}

String WithoutLineBreaks(const String& text) {
    bool clean = true;
    for (char16_t c : text.View()) clean = clean && c != u'\r' && c != u'\n' && c != 0;
    if (clean) return text;
    return String::Build(text.Length(), [&](char16_t* out) {
        for (int32_t i = 0; i < text.Length(); ++i) {
            char16_t c = text[i];
            out[i] = (c == u'\r' || c == u'\n' || c == 0) ? u' ' : c;
        }
    });
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
    AppendGadgetItem(LinkBox, record->name, 0, 0, record->streamURL, nullptr);
    ThreadList->AddLast(record);
    return record;
}

Ref<ThreadWatch> ThreadWatch::Create(const String& url, const String& name) {
    Ref<TStream> stream = OpenUrlForReading(FixURL(WithoutLineBreaks(url)));
    if (!stream) return nullptr;
    int32_t count = CountLines(stream);
    CloseAnyStream(stream);
    return Listed(url, name, count);
}

Ref<ThreadWatch> ThreadWatch::CreateUnfetched(const String& url, const String& name, int32_t length) {
    return Listed(url, name, length);
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
    for (Ref<Object> o : *ThreadList) {
        Ref<ThreadWatch> record = Cast<ThreadWatch>(o);
        if (record && record->index > index) --record->index;
    }
    --NextIndex;
}

void ThreadWatch::update() {
    for (Ref<Object> o : *ThreadList) {
        Ref<ThreadWatch> record = Cast<ThreadWatch>(o);
        if (!record) continue;
        Ref<TStream> stream = OpenUrlForReading(record->streamURL);
        if (!stream) {
            Say(String("Failed to connect to ") + record->name + ".");
            continue;
        }
        int32_t count = CountLines(stream);
        CloseAnyStream(stream);
        Say(String("Old count: ") + FormatInt(record->Length));
        Say(String("New Count: ") + FormatInt(count));
        if (count == record->Length) continue;
        if (Confirm(String("Someone commented on ") + record->name + ". Would you like to visit that page?", 0))
            OpenURL(record->URL);
        record->Length = count;
    }
    SaveList();
}
