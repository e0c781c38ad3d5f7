#pragma once

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>
#include <map>
#include <string>
#include <vector>

#include "utilities/BaseProperty.h"
#include "utilities/OrbiZoException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Utilities {
namespace Configuration {

// A named table of properties under text keys (decimal numbers in this system).
//
// Tables are linked into groups: a lookup that misses in the own table continues through the
// other members of the group, in the order they joined, and ends in the process-wide table
// named "Global". An inactive table is skipped by every lookup, its own included.
//
// Threads: the group registry, the active flags and the "Global" table are shared by the whole
// process and guarded by one lock; lookups, registration through set(), construction and
// destruction may run on any thread. A table's getters and setters run outside that lock, on
// the caller's thread; one table's properties are used by one thread at a time.
class Properties : private boost::noncopyable {
public:
    typedef boost::shared_ptr<BaseProperty> PropertyPtr;
    typedef std::map<std::string, PropertyPtr> Table;

    // Joins the group of `sibling`, or starts a group of its own when `sibling` is null.
    // A sibling that is in no group throws "Illegal parameter for constructor of Properties.".
    Properties(const Properties* sibling, const std::string& name);
    explicit Properties(const std::string& name);
    // Leaves the group; the last member to leave removes the group.
    ~Properties();

    // The process-wide table "Global", created on first use in a group of its own.
    static Properties& global();

    const std::string& getName() const { return mName; }
    bool isActive() const;
    void setActive(bool active);

    // Inserts or replaces the property under `key`.
    void set(const std::string& key, const PropertyPtr& property);
    // The table's slot for `key` (created empty when missing), for registration by the owner
    // while no other thread looks into this table; use set() for the "Global" table.
    PropertyPtr& operator[](const std::string& key);
    // The keys of the own table, in table order.
    std::vector<std::string> keys() const;

    // Own table, then the group, then "Global"; null when no active table holds the key.
    PropertyPtr find(const std::string& key) const;

    // The value under `key` as T (through the text form when the property is of another type).
    template <typename T>
    T getValue(const std::string& key) const {
        return require(key)->template getAs<T>();
    }

    // Stores a T under `key` (through the text form when the property is of another type).
    template <typename T>
    void setValue(const std::string& key, const T& value) {
        require(key)->template setAs<T>(value);
    }
    void setValue(const std::string& key, const char* value) {
        setValue<std::string>(key, std::string(value));
    }

private:
    // find() for a non-empty key that must exist.
    PropertyPtr require(const std::string& key) const;

    Table mTable;
    std::string mName;
    bool mActive = true;
};

}  // namespace Configuration
}  // namespace Utilities
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
