// A library that may lie in the console's plug-in folder without being a tool: it exports no
// interface factory.
extern "C" __attribute__((visibility("default"))) int NotATool()
{
    return 42;
}
