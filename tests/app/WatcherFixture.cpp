#include "WatcherFixture.h"

#include <chrono>
#include <fstream>
#include <sstream>

#include "NetTestSupport.h"
#include "app/ListFolder.h"
#include "app/MainLoop.h"
#include "app/WatchStatus.h"
#include "event/Event.h"
#include "gui/GuiDriver.h"
#include "net/HttpStream.h"
#include "stream/FileStream.h"
#include "stream/FileSystem.h"

namespace apptest {

PageServer::PageServer(uint32_t ip) : _random(1) {
    _listen = platform::OpenSocket(true);
    platform::SetSocketReuseAddress(_listen);
    if (!platform::BindSocket(_listen, ip, 80) || !platform::ListenSocket(_listen, 64)) {
        platform::CloseSocket(_listen);
        _listen = platform::kNoSocket;
        return;
    }
    _accepting = std::thread(&PageServer::Accept, this);
}

PageServer::~PageServer() {
    _stop = true;
    if (_accepting.joinable()) _accepting.join();
    for (std::thread& t : _answering) t.join();
    if (Ok()) platform::CloseSocket(_listen);
}

void PageServer::Set(const std::string& path, const std::string& body, int32_t delayMillis) {
    std::lock_guard<std::mutex> lock(_mutex);
    _pages[path] = {body, delayMillis};
}

void PageServer::SetRandomDelay(int32_t maxMillis, uint32_t seed) {
    std::lock_guard<std::mutex> lock(_mutex);
    _randomDelay = maxMillis;
    _random.seed(seed);
}

int32_t PageServer::TakeMostAtOnce() { return _mostAtOnce.exchange(0); }

void PageServer::Accept() {
    while (!_stop) {
        if (platform::WaitReadable(_listen, 20) != 1) continue;
        platform::SocketHandle client = platform::AcceptSocket(_listen);
        if (client != platform::kNoSocket) _answering.emplace_back(&PageServer::Answer, this, client);
    }
}

void PageServer::Answer(platform::SocketHandle client) {
    int32_t now = ++_atOnce;
    for (int32_t most = _mostAtOnce; now > most && !_mostAtOnce.compare_exchange_weak(most, now);) {
    }
    std::string head = nettest::RecvUntil(client, "\r\n\r\n");
    std::string path = head.size() > 4 ? head.substr(4, head.find(' ', 4) - 4) : "";
    std::string answer = "HTTP/1.0 404 Not Found\r\n\r\nnot here\n";
    int32_t delay = 0;
    {
        std::lock_guard<std::mutex> lock(_mutex);
        auto it = _pages.find(path);
        if (it != _pages.end()) {
            // A body that is an answer of its own goes out as it is.
            answer = it->second.body.rfind("HTTP/", 0) == 0 ? it->second.body
                                                              : "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + it->second.body;
            delay = it->second.delay;
        }
        if (_randomDelay > 0) delay += static_cast<int32_t>(_random() % (_randomDelay + 1));
    }
    for (auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(delay);
         !_stop && std::chrono::steady_clock::now() < end;)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    nettest::SendAll(client, answer);
    // Before the close, which ends the body: the client cannot start its
    // next request while this one still counts.
    --_atOnce;
    platform::CloseSocket(client);
}

int32_t ScriptedDriver::Confirm(const String& text, int32_t) {
    questions.push_back(text.ToBytes8());
    if (answers.empty()) return 0;
    int32_t answer = answers.front();
    answers.pop_front();
    return answer;
}

int32_t ScriptedDriver::Notify(const String& text, int32_t) {
    notes.push_back(text.ToBytes8());
    return 0;
}

int32_t ScriptedDriver::OpenURL(const String& url) {
    opened.push_back(url.ToBytes8());
    return openResult;
}

int32_t ScriptedDriver::Poll() {
    if (onPoll) onPoll();
    return 0;
}

int32_t TextGadget::SetText(const String& t) {
    text = t;
    return 1;
}

String TextGadget::GetText() { return text; }

int32_t TextGadget::Activate(int32_t command) {
    if (command == ACT_FOCUS) Cast<FocusDriver>(GuiDriver)->focused = Ref<TGadget>(this);
    return 1;
}

int32_t StatusWindow::SetStatus(const String& t) {
    status = t;
    return 0;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Lines(int n) {
    std::string body;
    for (int i = 0; i < n; ++i) body += "line " + std::to_string(i) + "\n";
    return body;
}

void WatcherTest::SetUp() {
    InitHttpStream();
    InitStandardIO();
    InitFileSystem();
    InitEventQueue();
    InitSystemDriver();
    savedDriver = SystemDriver;
    driver = New<ScriptedDriver>();
    SystemDriver = driver;
    savedConsole = ConsoleStream;
    output = CreateBank(0);
    ConsoleStream = TTextStream::Create(NewBankStream(output), TTextStream::UTF8);
    savedGui = GuiDriver;
    GuiDriver = gui = New<FocusDriver>();
    StartAgain();
    URLField = New<TextGadget>();
    NameField = New<TextGadget>();
    AddButton = New<TextGadget>();
    RemoveButton = New<TextGadget>();
    CheckNowButton = New<TextGadget>();
    MainWindow = New<StatusWindow>();
    SelectedIndex = -1;
    RemoveListFiles();
    server = std::make_unique<PageServer>(kServerIp);
    ASSERT_TRUE(server->Ok());
    server->Set("/a", Lines(3));
    server->Set("/b", Lines(5));
    server->Set("/c", Lines(7));
}

void WatcherTest::TearDown() {
    Attend([] { return !AddsPending(); }, 10000);
    server.reset();
    SystemDriver = savedDriver;
    GuiDriver = savedGui;
    ConsoleStream = savedConsole;
    LinkBox = URLField = NameField = AddButton = RemoveButton = MainWindow = CheckNowButton = nullptr;
    ThreadList = nullptr;
}

std::vector<std::string> WatcherTest::Output() {
    std::string text(reinterpret_cast<const char*>(BankBuf(output)), static_cast<size_t>(BankSize(output)));
    std::vector<std::string> lines;
    for (size_t from = 0, p; (p = text.find("\r\n", from)) != std::string::npos; from = p + 2)
        lines.push_back(text.substr(from, p - from));
    ResizeBank(output, 0);
    ConsoleStream = TTextStream::Create(NewBankStream(output), TTextStream::UTF8);
    return lines;
}

std::vector<std::string> WatcherTest::Names() {
    std::vector<std::string> names;
    for (int32_t i = 0; i < LinkBox->ItemCount(); ++i) names.push_back(LinkBox->ItemText(i).ToBytes8());
    return names;
}

std::vector<std::string> WatcherTest::Row(int32_t index) {
    std::vector<std::string> cells;
    for (int32_t c = 0; c < CountGadgetColumns(LinkBox); ++c) cells.push_back(GadgetItemCell(LinkBox, index, c).ToUTF8());
    return cells;
}

std::string WatcherTest::Status() {
    RefreshStatus();
    return Cast<StatusWindow>(MainWindow)->status.ToUTF8();
}

void WatcherTest::Deliver(int32_t id, const Ref<TGadget>& source, int32_t data) {
    DispatchEvent(MakeEvent(id, source, data));
    PollOnce();
}

void WatcherTest::StartAgain() {
    ThreadList = New<TList>();
    NextIndex = 0;
    LinkBox = New<TGadget>();
    AddPageColumns(LinkBox);
}

void WatcherTest::RemoveListFiles() {
    for (const String& name : ListDirectory(".", 1))
        if (name.HasPrefix(kWatchListFile) || name.HasPrefix(kPageStateFile)) PathKind(name) == PATH_DIRECTORY ? EraseDirectory(name, 1) : RemoveFile(name);
}

void WatcherTest::AddThroughWindow(const String& url, const String& name) {
    URLField->SetText(url);
    NameField->SetText(name);
    Deliver(EventGadgetAction, AddButton, 0);
    Attend([] { return !AddsPending(); }, 30000);
}

}  // namespace apptest
