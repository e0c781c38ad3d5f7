#pragma once

#include <boost/function.hpp>

#include "utilities/TemplateBaseProperty.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Utilities {
namespace Configuration {

// A property that stores its value. It may be read-only, and a check function may refuse
// values; a refused or failed setValue keeps the old value.
template <typename T>
class Property : public TemplateBaseProperty<T> {
public:
    typedef boost::function<bool(const T&)> CheckFunction;

    // No value yet: getValue gives an empty value until the first setValue.
    Property() = default;
    // The initial value is stored as given, whatever readOnly and check say.
    explicit Property(const T& value, bool readOnly = false,
                      const CheckFunction& check = CheckFunction())
        : mValue(value), mReadOnly(readOnly), mCheck(check) {}

    void setValue(const boost::any& value) override {
        if (mReadOnly) throw OrbiZoException(ErrorCode::PropertyReadOnly, "Property is read only");
        const T& typed = boost::any_cast<const T&>(value);
        if (mCheck && !mCheck(typed)) {
            throw OrbiZoException(ErrorCode::PropertyCheckFailed, "Property value check failed");
        }
        mValue = typed;
    }

    boost::any getValue() override { return mValue; }

    bool isReadOnly() const { return mReadOnly; }
    void setReadOnly(bool readOnly) { mReadOnly = readOnly; }
    void setCheckFunction(const CheckFunction& check) { mCheck = check; }

private:
    boost::any mValue;
    bool mReadOnly = false;
    CheckFunction mCheck;
};

}  // namespace Configuration
}  // namespace Utilities
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
