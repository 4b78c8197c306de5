// veska: the desktop app.
#include "main/app/RunApp.h"

// Sanitizer builds: Qt's platform and input-method plugins keep allocations until exit and are
// unloaded before the leak check runs, so the check can only report frames it cannot name; and
// the web engine (Chromium, not built with the sanitizers) frees some of its objects with a size
// of its own.
extern "C" const char* __lsan_default_options() {  // NOLINT
    return "detect_leaks=0";
}
extern "C" const char* __asan_default_options() {  // NOLINT
    return "detect_leaks=0:new_delete_type_mismatch=0:alloc_dealloc_mismatch=0";
}

int main(int argc, char** argv) {
    return veska::app::runApp(argc, argv);
}
