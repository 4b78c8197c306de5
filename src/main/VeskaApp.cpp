// veska: the desktop app.
#include "main/app/RunApp.h"

// Sanitizer builds: Qt's platform and input-method plugins keep allocations until exit and are
// unloaded before the leak check runs, so the check can only report frames it cannot name.
extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }  // NOLINT

int main(int argc, char** argv) { return veska::app::runApp(argc, argv); }
