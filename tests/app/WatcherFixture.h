// What the watcher's tests share: a loopback page server that answers many
// requests at once, each after a delay of its own; a system driver that
// answers questions from a script; the fixture with a fresh watch list.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/MainWindow.h"
#include "app/ThreadWatch.h"
#include "event/SystemDriver.h"
#include "gui/GuiDriver.h"
#include "platform/Socket.h"
#include "stream/Bank.h"
#include "stream/TextStream.h"

namespace apptest {

// Serves pages on port 80 of one loopback address, one thread per request.
// A path it does not know is answered with 404.
class PageServer {
public:
    explicit PageServer(uint32_t ip);
    ~PageServer();
    bool Ok() const { return _listen != platform::kNoSocket; }
    // A body that starts with "HTTP/" is sent as the whole answer.
    void Set(const std::string& path, const std::string& body, int32_t delayMillis = 0);
    // Every answer also waits a random 0 .. maxMillis.
    void SetRandomDelay(int32_t maxMillis, uint32_t seed);
    // Most requests in progress at one time since the last call.
    int32_t TakeMostAtOnce();

private:
    struct Page {
        std::string body;
        int32_t delay = 0;
    };
    void Accept();
    void Answer(platform::SocketHandle client);

    platform::SocketHandle _listen = platform::kNoSocket;
    std::mutex _mutex;
    std::map<std::string, Page> _pages;
    std::mt19937 _random;
    int32_t _randomDelay = 0;
    std::atomic<int32_t> _atOnce{0}, _mostAtOnce{0};
    std::atomic<bool> _stop{false};
    std::vector<std::thread> _answering;
    std::thread _accepting;
};

// Answers questions from a script and records what the program asked for.
class ScriptedDriver : public TSystemDriver {
public:
    int32_t Confirm(const String& text, int32_t) override;
    int32_t Notify(const String& text, int32_t) override;
    int32_t OpenURL(const String& url) override;
    int32_t Poll() override;

    std::deque<int32_t> answers;  // then Cancel
    std::vector<std::string> questions, notes, opened;
    int32_t openResult = 1;  // what the shell says to every URL
    // Runs at every pump, as native input would arrive.
    std::function<void()> onPoll;
};

// Knows which gadget has the focus, as a window system does.
struct FocusDriver : TGanvikDriver {
    Ref<TGadget> ActiveGadget() override { return focused; }
    Ref<TGadget> focused;
};

// Holds its text and takes the focus when told, as a control does (the bare
// gadget model does neither).
struct TextGadget : TGadget {
    int32_t SetText(const String& t) override;
    String GetText() override;
    int32_t Activate(int32_t command) override;
    String text;
};

// Keeps what its status bar was last given.
struct StatusWindow : TGadget {
    int32_t SetStatus(const String& t) override;
    String status;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// `n` LF-terminated lines.
std::string Lines(int n);

class WatcherTest : public ::testing::Test {
protected:
    static constexpr uint32_t kServerIp = (127u << 24) | (0 << 16) | (77 << 8) | 1;
    static constexpr const char* kHost = "127.0.77.1";
    static constexpr const char* kDeadHost = "127.0.77.2";  // nothing listens there

    void SetUp() override;
    void TearDown() override;

    static String Url(const char* path) { return String(kHost) + path; }
    // The console lines since the last call.
    std::vector<std::string> Output();
    std::vector<std::string> Names();
    // The cells of one row of LinkBox: name, last check, state (UTF-8).
    std::vector<std::string> Row(int32_t index);
    std::string Status();
    // Posts an event the way a gadget does and lets the application poll it.
    void Deliver(int32_t id, const Ref<TGadget>& source, int32_t data);
    // Presses Add with these texts in the fields and waits for the page.
    void AddThroughWindow(const String& url, const String& name);
    // An empty list and list box, as at a new start.
    void StartAgain();
    // Removes "autosave.dat" and everything named after it.
    static void RemoveListFiles();

    Ref<ScriptedDriver> driver;
    Ref<TSystemDriver> savedDriver;
    Ref<FocusDriver> gui;
    Ref<TGanvikDriver> savedGui;
    Ref<TTextStream> savedConsole;
    Ref<TBank> output;
    std::unique_ptr<PageServer> server;
};

}  // namespace apptest
