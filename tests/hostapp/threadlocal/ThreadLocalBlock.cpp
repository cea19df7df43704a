// A shared library with a thread-local block of its own, reached as a module's is: through __tls_get_addr
// once loaded with dlopen.
namespace {

thread_local char block[48];

} // namespace

extern "C" char* corvaleThreadLocalBlock() {
    return block;
}
