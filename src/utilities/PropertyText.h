#pragma once

#include <boost/lexical_cast.hpp>
#include <string>
#include <typeinfo>
#include <vector>

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Utilities {
namespace Configuration {

// The text form of a property value type. Numbers and bool go through boost::lexical_cast
// (decimal; bool as 0 and 1) and a failed parse throws boost::bad_lexical_cast.
template <typename T>
struct PropertyText {
    static std::string format(const T& value) { return boost::lexical_cast<std::string>(value); }
    static T parse(const std::string& text) { return boost::lexical_cast<T>(text); }
};

// Text is its own text form, blanks and all.
template <>
struct PropertyText<std::string> {
    static std::string format(const std::string& value) { return value; }
    static std::string parse(const std::string& text) { return text; }
};

// A list is written as its elements in decimal joined by ";" (no blanks, empty list: empty
// text). There is no way back from text to a list.
template <>
struct PropertyText<std::vector<short>> {
    static std::string format(const std::vector<short>& values) {
        std::string text;
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i != 0) text += ';';
            text += boost::lexical_cast<std::string>(values[i]);
        }
        return text;
    }
    static std::vector<short> parse(const std::string&) {
        throw boost::bad_lexical_cast(typeid(std::string), typeid(std::vector<short>));
    }
};

}  // namespace Configuration
}  // namespace Utilities
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
