// A loadable file that is not a module of this build: another version of the interface, no
// version at all, or no entry point.
extern "C" {

#ifdef VESKA_TEST_MODULE_VERSION
// NOLINTNEXTLINE(readability-identifier-naming): the name the loader looks up.
int veska_module_version() {
    return VESKA_TEST_MODULE_VERSION;
}
#endif

// NOLINTNEXTLINE(readability-identifier-naming)
int veska_test_module_present() {
    return 1;
}

}  // extern "C"
