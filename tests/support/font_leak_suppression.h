#pragma once
// For test programs that paint text: fontconfig keeps a little of the configuration it
// parses when Qt first loads fonts, and never frees it. That is not ours to mend, so the
// leak checker leaves it out. Include in exactly one file of the test program.

extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
