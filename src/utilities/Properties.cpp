#include "utilities/Properties.h"

#include <algorithm>
#include <boost/format.hpp>
#include <list>
#include <mutex>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Utilities {
namespace Configuration {

namespace {

typedef std::list<const Properties*> Group;

// The groups of all live tables. Lookups reach it from the notification, pool and worker
// threads alike, so every access holds `mutex`. Never destroyed, so that tables with static
// storage may still leave their group at exit.
struct Registry {
    std::mutex mutex;
    std::list<Group> groups;

    std::list<Group>::iterator groupOf(const Properties* table) {
        return std::find_if(groups.begin(), groups.end(), [table](const Group& group) {
            return std::find(group.begin(), group.end(), table) != group.end();
        });
    }
};

Registry& registry() {
    static Registry* const instance = new Registry;
    return *instance;
}

const Properties::PropertyPtr* entry(const Properties::Table& table, const std::string& key) {
    const Properties::Table::const_iterator it = table.find(key);
    return it == table.end() ? nullptr : &it->second;
}

}  // namespace

Properties::Properties(const Properties* sibling, const std::string& name) : mName(name) {
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    if (sibling == nullptr) {
        reg.groups.push_back(Group(1, this));
        return;
    }
    const std::list<Group>::iterator group = reg.groupOf(sibling);
    if (group == reg.groups.end()) {
        throw OrbiZoException(ErrorCode::PropertiesInternal,
                              "Illegal parameter for constructor of Properties.");
    }
    group->push_back(this);
}

Properties::Properties(const std::string& name) : Properties(nullptr, name) {}

Properties::~Properties() {
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);
    const std::list<Group>::iterator group = reg.groupOf(this);
    if (group == reg.groups.end()) return;
    group->remove(this);
    if (group->empty()) reg.groups.erase(group);
}

Properties& Properties::global() {
    // Function-local static: the first use from any thread creates it exactly once.
    static Properties* const instance = new Properties(nullptr, "Global");
    return *instance;
}

bool Properties::isActive() const {
    std::lock_guard<std::mutex> lock(registry().mutex);
    return mActive;
}

void Properties::setActive(bool active) {
    std::lock_guard<std::mutex> lock(registry().mutex);
    mActive = active;
}

void Properties::set(const std::string& key, const PropertyPtr& property) {
    std::lock_guard<std::mutex> lock(registry().mutex);
    mTable[key] = property;
}

Properties::PropertyPtr& Properties::operator[](const std::string& key) {
    std::lock_guard<std::mutex> lock(registry().mutex);
    return mTable[key];
}

std::vector<std::string> Properties::keys() const {
    std::lock_guard<std::mutex> lock(registry().mutex);
    std::vector<std::string> result;
    result.reserve(mTable.size());
    for (const Table::value_type& item : mTable) result.push_back(item.first);
    return result;
}

Properties::PropertyPtr Properties::find(const std::string& key) const {
    // Before taking the lock: creating "Global" registers it and takes the lock itself.
    const Properties& globalTable = global();
    Registry& reg = registry();
    std::lock_guard<std::mutex> lock(reg.mutex);

    if (mActive) {
        if (const PropertyPtr* own = entry(mTable, key)) return *own;
    }
    const std::list<Group>::iterator group = reg.groupOf(this);
    if (group == reg.groups.end()) {
        throw OrbiZoException(ErrorCode::PropertiesInternal,
                              "Strange things happens. This should never ever be the case");
    }
    for (const Properties* member : *group) {
        if (!member->mActive) continue;
        if (const PropertyPtr* found = entry(member->mTable, key)) return *found;
    }
    if (globalTable.mActive) {
        if (const PropertyPtr* found = entry(globalTable.mTable, key)) return *found;
    }
    return PropertyPtr();
}

Properties::PropertyPtr Properties::require(const std::string& key) const {
    if (key.empty()) throw OrbiZoException(ErrorCode::PropertyNotFound, "Invalid Property key");
    PropertyPtr property = find(key);
    if (!property) {
        throw OrbiZoException(ErrorCode::PropertyNotFound,
                              (boost::format("Property \"%1%\" not found") % key).str());
    }
    return property;
}

}  // namespace Configuration
}  // namespace Utilities
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
