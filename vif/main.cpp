// vif_zenoa_zenob <plug-in path> <output file>
// Examines one plug-in and reports by exit code and output file only.

#include "vif/VSTiInfoFinder.h"

#include <fcntl.h>
#include <unistd.h>

// In sanitizer builds, leaks are not reported at exit: what a plug-in leaves
// allocated is the plug-in's affair and must not change our exit code.
extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_options() {
  return "detect_leaks=0";
}

int main(int argc, char** argv) {
  // Plug-ins like to talk while loading; nothing of that reaches the caller.
  const int devNull = ::open("/dev/null", O_WRONLY);
  if (devNull >= 0) {
    ::dup2(devNull, STDOUT_FILENO);
    ::dup2(devNull, STDERR_FILENO);
    ::close(devNull);
  }
  if (argc < 3) return 0;
  CVSTiInfoFinder finder(argv[2]);
  return finder.GetVSTiInfo(argv[1]);
}
