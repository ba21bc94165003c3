#pragma once

namespace veltrane::app {

// Runs the desktop application or one of its commands; answers the process exit status.
int run(int argc, char *argv[]);

} // namespace veltrane::app
