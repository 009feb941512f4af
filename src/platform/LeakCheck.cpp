// LeakSanitizer's switch for every native program (suites, tools, fuzz
// targets): leak checks run unless the program runs under QEMU's user-mode
// emulation.
//
// A machine whose kernel refuses 32-bit x86 programs runs them under QEMU
// (script/setup registers it with binfmt_misc). LeakSanitizer cannot stop
// the world there: the check at exit never returns and hangs the suite. A
// 32-bit program run by an x86-64 kernel is told the machine "x86_64"; QEMU
// tells its guests the machine it emulates ("i686"). The runtime asks this
// function before each check, at exit and for every explicit
// __lsan_do_recoverable_leak_check, which then reports no leak.
#include <string.h>
#include <sys/utsname.h>

extern "C" int __lsan_is_turned_off() {
  struct utsname machine;
  return uname(&machine) == 0 && strcmp(machine.machine, "x86_64") != 0;
}
