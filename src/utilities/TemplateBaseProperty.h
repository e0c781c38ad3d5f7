#pragma once

#include <vector>

#include "utilities/BaseProperty.h"
#include "utilities/OrbiZoException.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Utilities {
namespace Configuration {

// Type identity and text form of a property of value type T; the stored and the
// function-backed properties share it.
template <typename T>
class TemplateBaseProperty : public BaseProperty {
public:
    typedef T ValueType;

    const std::type_info& getType() const override { return typeid(T); }

    boost::any fromString(const std::string& text) const override {
        return boost::any(PropertyText<T>::parse(text));
    }

    // `value` must hold a T (an empty value or another type throws boost::bad_any_cast).
    std::string toString(const boost::any& value) const override {
        return PropertyText<T>::format(boost::any_cast<const T&>(value));
    }
};

// A list cannot be set from text.
template <>
inline boost::any TemplateBaseProperty<std::vector<short>>::fromString(const std::string&) const {
    throw OrbiZoException(ErrorCode::PropertyWrongType, "Wrong type for TemplateBaseProperty<>");
}

}  // namespace Configuration
}  // namespace Utilities
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
