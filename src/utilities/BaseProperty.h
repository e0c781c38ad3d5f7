#pragma once

#include <boost/any.hpp>
#include <string>
#include <typeinfo>

#include "utilities/PropertyText.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Utilities {
namespace Configuration {

// One named value of a Properties table. Values cross this interface type-erased; every
// property can turn a value of its own type into text and back, so a caller may read or write
// it as another type through the text form (getAs / setAs).
class BaseProperty {
public:
    virtual ~BaseProperty();

    // Stores a value of the property's own type (another type throws boost::bad_any_cast).
    virtual void setValue(const boost::any& value) = 0;
    // A copy of the current value; may run a getter (and talk to the table).
    virtual boost::any getValue() = 0;
    virtual const std::type_info& getType() const = 0;
    // A value of the property's type parsed from text.
    virtual boost::any fromString(const std::string& text) const = 0;
    // The text form of a value of the property's type.
    virtual std::string toString(const boost::any& value) const = 0;

    // The value as T: directly when the property holds a T, otherwise parsed from its text
    // form (a failed parse throws boost::bad_lexical_cast).
    template <typename T>
    T getAs() {
        const boost::any value = getValue();
        if (value.type() == typeid(T)) return boost::any_cast<T>(value);
        return PropertyText<T>::parse(toString(value));
    }

    // Stores a T: directly when the property is of type T, otherwise through the text of the
    // value and fromString.
    template <typename T>
    void setAs(const T& value) {
        if (getType() == typeid(T)) {
            setValue(boost::any(value));
        } else {
            setValue(fromString(PropertyText<T>::format(value)));
        }
    }
};

}  // namespace Configuration
}  // namespace Utilities
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
