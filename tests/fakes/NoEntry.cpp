// A library that loads but offers none of the entries the library looks for.
extern "C" __attribute__((visibility("default"))) int SomethingElse() { return 0; }
