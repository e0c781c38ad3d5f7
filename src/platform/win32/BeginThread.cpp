#ifndef _WIN32

// C runtime: _beginthreadex.

#include <atomic>
#include <cerrno>
#include <system_error>
#include <thread>

#include "platform/win32/HandleTable.h"
#include "platform/win32/Waitable.h"
#include "platform/win32/Win32.h"

using namespace Korvane::Platform;

std::uintptr_t _beginthreadex(void*, unsigned, unsigned(__stdcall* start_address)(void*),
                              void* arglist, unsigned initflag, unsigned* thrdaddr) {
    static std::atomic<unsigned> nextThreadId{0x100};
    if (start_address == nullptr || initflag != 0) {
        errno = EINVAL;
        return 0;
    }
    auto finished = std::make_shared<Waitable>(Win32ObjectKind::Thread, true, false);
    try {
        // The thread signals its handle's object when it ends; the handle may be closed long
        // before that (the object lives on with the thread).
        std::thread([finished, start_address, arglist] {
            start_address(arglist);
            finished->set();
        }).detach();
    } catch (const std::system_error&) {
        errno = EAGAIN;
        return 0;
    }
    if (thrdaddr) *thrdaddr = nextThreadId++;
    return reinterpret_cast<std::uintptr_t>(HandleTable::instance().add(finished));
}

#endif
