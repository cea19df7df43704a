// AddressSanitizer's defaults for every program of ours that loads the module: the host program, the
// test-only hosts and the test programs.
//
// LeakSanitizer 14 follows the dynamic thread-local blocks of a library loaded with dlopen (the module's
// are its only ones) through its __tls_get_addr interceptor. It takes a block that happens to begin 16
// bytes into a page for one carrying the header of glibc before 2.25, reads a bogus range from the two
// words before it, and crashes scanning that range as the process ends. Where the block lies follows every
// allocation made before it, down to the length of the paths the process handles, so the crash came and
// went with where the project was checked out. Without the interceptor those blocks are not scanned; leak
// checking stays on. ASAN_OPTIONS still overrides what is given here. A build without AddressSanitizer
// never calls this.
extern "C" const char* __asan_default_options(); // NOLINT(bugprone-reserved-identifier)

extern "C" const char* __asan_default_options() { // NOLINT(bugprone-reserved-identifier)
    return "intercept_tls_get_addr=0";
}
