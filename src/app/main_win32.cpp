// The panel program on Windows: every service on the Windows API.

#include "app/win32_services.h"
#include "core/start/startup.h"

int main() {
  talvaro::app::Win32Services services;
  return talvaro::run_talvaro(services.platform());
}
