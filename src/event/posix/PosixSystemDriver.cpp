// The system driver where there are no native windows: pumping runs the
// posted main-thread calls, message boxes ask on standard input, URLs go to
// xdg-open.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <time.h>

#include "event/NativeSystem.h"
#include "event/SystemDriver.h"
#include "runtime/Program.h"

namespace {

struct PendingCall {
    MainThreadFunction function;
    void* argument1;
    void* argument2;
};

// Stands in for the main thread's message queue.
struct CallQueue {
    std::mutex lock;
    std::condition_variable arrived;
    std::deque<PendingCall> calls;
};

CallQueue& Calls() {
    static CallQueue* queue = new CallQueue;  // never destroyed: timer threads may outlive statics
    return *queue;
}

// Reads one answer line; false at the end of input.
bool AskLine(const String& text, const char* choices, std::string& answer) {
    std::string line = ApplicationTitle.ToUTF8() + ": " + text.ToUTF8() + " " + choices + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    if (!std::getline(std::cin, answer)) return false;
    while (!answer.empty() && (answer.back() == '\r' || answer.back() == ' ')) answer.pop_back();
    return true;
}

char FirstLower(const std::string& s) {
    return s.empty() ? 0 : static_cast<char>(std::tolower(static_cast<unsigned char>(s[0])));
}

class TPosixSystemDriver : public TSystemDriver {
public:
    int32_t Poll() override {
        // Only the calls pending now: a call that posts another one does not
        // keep this pump going forever.
        std::deque<PendingCall> due;
        {
            std::lock_guard<std::mutex> hold(Calls().lock);
            due.swap(Calls().calls);
        }
        while (!due.empty()) {
            PendingCall call = due.front();
            due.pop_front();
            try {
                call.function(call.argument1, call.argument2);
            } catch (...) {
                // Keep the calls behind it: put them back in front, in order.
                std::lock_guard<std::mutex> hold(Calls().lock);
                Calls().calls.insert(Calls().calls.begin(), due.begin(), due.end());
                throw;
            }
        }
        return 0;
    }
    int32_t Wait() override {
        {
            std::unique_lock<std::mutex> hold(Calls().lock);
            Calls().arrived.wait(hold, [] { return !Calls().calls.empty(); });
        }
        return Poll();
    }
    int32_t WaitFor(int32_t millis) override {
        {
            std::unique_lock<std::mutex> hold(Calls().lock);
            Calls().arrived.wait_for(hold, std::chrono::milliseconds(millis), [] { return !Calls().calls.empty(); });
        }
        return Poll();
    }
    int32_t MoveMouse(int32_t, int32_t) override { return 0; }
    int32_t SetMouseVisible(int32_t) override { return 0; }
    int32_t Notify(const String& text, int32_t) override {
        std::string answer;
        AskLine(text, "[OK]", answer);
        return 0;
    }
    int32_t Confirm(const String& text, int32_t) override {
        std::string answer;
        if (!AskLine(text, "[ok/cancel]", answer)) return 0;
        char c = FirstLower(answer);
        return c == 'o' || c == 'y' ? 1 : 0;
    }
    int32_t Proceed(const String& text, int32_t) override {
        std::string answer;
        if (!AskLine(text, "[yes/no/cancel]", answer)) return -1;
        char c = FirstLower(answer);
        return c == 'y' ? 1 : c == 'n' ? 0 : -1;
    }
    String RequestFile(const String& text, const String&, int32_t, const String&) override {
        std::string answer;
        if (!AskLine(text, "[path]", answer)) return String();
        return String::FromUTF8(answer);
    }
    String RequestDir(const String& text, const String&) override {
        std::string answer;
        if (!AskLine(text, "[folder]", answer)) return String();
        return String::FromUTF8(answer);
    }
    int32_t OpenURL(const String& url) override {
        std::string target = url.ToUTF8();
        std::fflush(nullptr);
        pid_t child = fork();
        if (child < 0) return 0;
        if (child == 0) {
            execlp("xdg-open", "xdg-open", target.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        while (waitpid(child, &status, 0) < 0) {
            if (errno != EINTR) return 0;
        }
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0;
    }
};

}  // namespace

Ref<TSystemDriver> CreateNativeSystemDriver() { return New<TPosixSystemDriver>(); }

int32_t NativeTickMillis() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

void NativePostMainThreadCall(MainThreadFunction function, void* argument1, void* argument2) {
    {
        std::lock_guard<std::mutex> hold(Calls().lock);
        Calls().calls.push_back({function, argument1, argument2});
    }
    Calls().arrived.notify_all();
}
