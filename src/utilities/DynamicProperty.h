#pragma once

#include <boost/function.hpp>

#include "utilities/TemplateBaseProperty.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Utilities {
namespace Configuration {

// A property backed by functions: getValue calls the getter, setValue the setter. Without a
// setter the property is read-only; without a getter it is a write-only trigger. With caching
// the getter runs on the first read only, and a successful set replaces the cached value.
template <typename T>
class DynamicProperty : public TemplateBaseProperty<T> {
public:
    typedef boost::function<T()> Getter;
    typedef boost::function<void(const T&)> Setter;

    // Pass Getter() or Setter() for a missing function.
    explicit DynamicProperty(const Getter& getter, const Setter& setter = Setter(),
                             bool caching = false)
        : mGetter(getter), mSetter(setter), mCaching(caching) {}

    // Exceptions of the setter pass to the caller and leave the cache as it was.
    void setValue(const boost::any& value) override {
        if (!mSetter) throw OrbiZoException(ErrorCode::PropertyReadOnly, "Property is read only");
        const T& typed = boost::any_cast<const T&>(value);
        mSetter(typed);
        if (mCaching) {
            mCache = typed;
            mCacheValid = true;
        }
    }

    boost::any getValue() override {
        if (!mGetter && !(mCaching && mCacheValid)) {
            throw OrbiZoException(ErrorCode::DynamicPropertyUnset,
                                  "Value of dynamic property wasn't set");
        }
        if (!mCaching) return boost::any(mGetter());
        if (!mCacheValid) {
            mCache = mGetter();
            mCacheValid = true;
        }
        return mCache;
    }

    bool isCaching() const { return mCaching; }

private:
    Getter mGetter;
    Setter mSetter;
    bool mCaching;
    boost::any mCache;
    bool mCacheValid = false;
};

}  // namespace Configuration
}  // namespace Utilities
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
