/* A library whose unload runs a function of the test's: the test's code then runs where a
 * destructor of a host's library runs, under the dynamic loader's lock. */
static void (*g_hook)(void);

__attribute__((visibility("default"))) void setUnloadHook(void (*hook)(void))
{
    g_hook = hook;
}

__attribute__((destructor)) static void runUnloadHook(void)
{
    if (g_hook)
        g_hook();
}
