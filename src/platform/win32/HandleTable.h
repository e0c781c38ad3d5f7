#pragma once

#ifndef _WIN32

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/win32/Win32Object.h"

namespace Korvane {
namespace Platform {

// The process's handle values. A handle is a number that is never reused (so a stale handle
// cannot reach a newer object), never NULL and never INVALID_HANDLE_VALUE. Lookups hand out
// shared ownership, so an object closed by one thread stays intact for a call that is still
// using it on another.
class HandleTable {
public:
    static HandleTable& instance();

    void* add(std::shared_ptr<Win32Object> object);

    // The object behind handle when it is of this kind; null otherwise.
    template <class T>
    std::shared_ptr<T> find(const void* handle, Win32ObjectKind kind) {
        std::shared_ptr<Win32Object> object = lookup(handle);
        if (!object || object->kind != kind) return nullptr;
        return std::static_pointer_cast<T>(object);
    }

    // Takes the handle out of the table when its object is of one of these kinds and calls
    // its release(). False (nothing changed) otherwise.
    bool close(const void* handle, std::initializer_list<Win32ObjectKind> kinds);

    // Handles open now, of every kind: what a leak shows in.
    std::size_t size();

private:
    HandleTable() = default;
    std::shared_ptr<Win32Object> lookup(const void* handle);

    std::mutex mutex;
    std::unordered_map<std::uintptr_t, std::shared_ptr<Win32Object>> objects;
    std::uintptr_t next = 0x1000;
};

}  // namespace Platform
}  // namespace Korvane

#endif
