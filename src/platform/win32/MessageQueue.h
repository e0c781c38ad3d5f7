#pragma once

#ifndef _WIN32

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "platform/win32/Win32.h"

namespace Korvane {
namespace Platform {

// One thread's message queue: messages posted to the thread's windows (from any thread) and
// the quit request of PostQuitMessage.
class MessageQueue {
public:
    // The calling thread's queue, made on first use.
    static std::shared_ptr<MessageQueue> current();

    // keepAlive owns what lParam points to; it is kept until the owning thread takes its next
    // message, so the record outlives the dispatch of this one.
    void post(const MSG& message, std::shared_ptr<void> keepAlive = nullptr);
    void postQuit(int exitCode);
    // Owning thread only. Blocks until a posted message for window (null: any) within
    // [first, last] (0, 0: all) is there and returns true, or returns false with WM_QUIT when
    // quit was requested and nothing matching is waiting.
    bool take(MSG& message, HWND window, UINT first, UINT last);
    // Drops what is queued for a destroyed window.
    void dropWindow(HWND window);

private:
    struct Posted {
        MSG message;
        std::shared_ptr<void> keepAlive;
    };

    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Posted> posted;
    bool quit = false;
    int quitCode = 0;
    std::shared_ptr<void> dispatching;  // keepAlive of the message taken last
};

}  // namespace Platform
}  // namespace Korvane

#endif
