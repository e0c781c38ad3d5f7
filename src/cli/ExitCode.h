#pragma once

namespace Korvane {
namespace DeviceDriver {
namespace OrbiZo {
namespace Cli {

// Process exit codes of orbizo3-cli; scripts rely on them.
enum ExitCode : int {
    Done = 0,
    Failed = 1,
    UsageError = 2,
};

}  // namespace Cli
}  // namespace OrbiZo
}  // namespace DeviceDriver
}  // namespace Korvane
