#include "cli/CliCommand.h"

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

CliCommand::~CliCommand() = default;

}
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
