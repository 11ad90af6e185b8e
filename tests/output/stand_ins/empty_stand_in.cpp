// A library that loads but exports none of the expected entry points.

extern "C" __attribute__((visibility("default"))) int QuennetStandInWithoutEntryPoints() {
  return 0;
}
