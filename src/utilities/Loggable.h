#pragma once

#include <string>

namespace Korvane { namespace Utilities { namespace Logging {

// Gives a transport or service class a named log channel. There is no log sink:
// log() has an empty body and the channel name is not kept.
class Loggable {
public:
    explicit Loggable(const std::string& channel);
    virtual ~Loggable();
    virtual void log(int level, const std::string& message);
};

}}}  // namespace Korvane::Utilities::Logging
