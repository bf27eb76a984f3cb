// A shared library that loads but has no scale entry point.
extern "C" int not_the_entry_point() { return 0; }
