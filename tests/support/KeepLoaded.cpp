// Preloaded into a program under test so that no library it loads is unmapped before exit.
// A library unloaded at exit (the software GL driver does this) takes its data with it, so a
// block it still held looks leaked and its frames name no module: kept mapped, the block stays
// reachable and any real leak still names the library it came from.
extern "C" int dlclose(void*) {
  return 0;
}
