#ifndef _WIN32

#include "platform/win32/MessageQueue.h"

#include <chrono>

namespace Korvane {
namespace Platform {

namespace {

const auto queueEpoch = std::chrono::steady_clock::now();

DWORD tickCount() {
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - queueEpoch)
                                  .count());
}

}  // namespace

std::shared_ptr<MessageQueue> MessageQueue::current() {
    thread_local std::shared_ptr<MessageQueue> queue = std::make_shared<MessageQueue>();
    return queue;
}

void MessageQueue::post(const MSG& message, std::shared_ptr<void> keepAlive) {
    Posted entry{message, std::move(keepAlive)};
    entry.message.time = tickCount();
    {
        std::lock_guard<std::mutex> lock(mutex);
        posted.push_back(std::move(entry));
    }
    arrived.notify_all();
}

void MessageQueue::postQuit(int exitCode) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        quit = true;
        quitCode = exitCode;
    }
    arrived.notify_all();
}

bool MessageQueue::take(MSG& message, HWND window, UINT first, UINT last) {
    auto matches = [&](const MSG& m) {
        if (window != nullptr && m.hwnd != window) return false;
        return (first == 0 && last == 0) || (m.message >= first && m.message <= last);
    };
    std::shared_ptr<void> finished;  // the previous record, released outside the lock
    std::unique_lock<std::mutex> lock(mutex);
    finished = std::move(dispatching);
    for (;;) {
        for (auto it = posted.begin(); it != posted.end(); ++it) {
            if (!matches(it->message)) continue;
            message = it->message;
            dispatching = std::move(it->keepAlive);
            posted.erase(it);
            return true;
        }
        if (quit) {
            quit = false;
            message = MSG{};
            message.message = WM_QUIT;
            message.wParam = static_cast<WPARAM>(quitCode);
            message.time = tickCount();
            return false;
        }
        arrived.wait(lock);
    }
}

void MessageQueue::dropWindow(HWND window) {
    std::deque<Posted> dropped;
    std::lock_guard<std::mutex> lock(mutex);
    for (auto it = posted.begin(); it != posted.end();) {
        if (it->message.hwnd == window) {
            dropped.push_back(std::move(*it));
            it = posted.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace Platform
}  // namespace Korvane

#endif
