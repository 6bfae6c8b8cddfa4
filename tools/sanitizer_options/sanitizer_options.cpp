// Leak checking at exit crashes inside the sanitizer when it walks the
// dynamic TLS of a process that has loaded the Firebird engine: always with
// Qt's plugins loaded too, now and then with the engine alone (glibc 2.36,
// GCC 12). Not intercepting __tls_get_addr avoids the
// walk; leaks are still checked. Options from ASAN_OPTIONS come on top.
extern "C" const char* __asan_default_options() {
    return "intercept_tls_get_addr=0";
}
