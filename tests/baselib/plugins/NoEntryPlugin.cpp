// A shared library that is not a plug-in: it lacks the entry point.
extern "C" __attribute__((visibility("default"))) int kelTestLibraryWithoutEntryPoint()
{
    return 0;
}
