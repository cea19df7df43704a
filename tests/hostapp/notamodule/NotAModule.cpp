// A shared library without the module's entry points, for the loader's refusal.
extern "C" int corvaleNotAModule() {
    return 1;
}
