#ifndef _WIN32

#include "platform/win32/HandleTable.h"

#include <algorithm>

namespace Korvane {
namespace Platform {

HandleTable& HandleTable::instance() {
    // Never destroyed: threads may still close handles while the program exits.
    static HandleTable* table = new HandleTable;
    return *table;
}

void* HandleTable::add(std::shared_ptr<Win32Object> object) {
    std::lock_guard<std::mutex> lock(mutex);
    std::uintptr_t value = next;
    next += 8;
    objects.emplace(value, std::move(object));
    return reinterpret_cast<void*>(value);
}

std::size_t HandleTable::size() {
    std::lock_guard<std::mutex> lock(mutex);
    return objects.size();
}

std::shared_ptr<Win32Object> HandleTable::lookup(const void* handle) {
    std::lock_guard<std::mutex> lock(mutex);
    auto it = objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == objects.end() ? nullptr : it->second;
}

bool HandleTable::close(const void* handle, std::initializer_list<Win32ObjectKind> kinds) {
    std::shared_ptr<Win32Object> object;
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = objects.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == objects.end()) return false;
        if (std::find(kinds.begin(), kinds.end(), it->second->kind) == kinds.end()) return false;
        object = std::move(it->second);
        objects.erase(it);
    }
    object->release();
    return true;
}

}  // namespace Platform
}  // namespace Korvane

#endif
