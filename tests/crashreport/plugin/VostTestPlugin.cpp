// A plug-in for the debug-information cache tests: one function to resolve.
extern "C" [[gnu::noinline, gnu::visibility("default")]] int VostTestPluginFunction(int x)
{
    return x * 11 + 1;
}
