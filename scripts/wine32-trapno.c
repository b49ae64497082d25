/* A preload library for 32-bit Wine run under qemu-i386 (scripts/wine-run).
 *
 * qemu-user puts trap number -1 into the signal frame of every fault of the
 * program it runs. Wine reads that number to tell a page fault from a
 * division by zero or a breakpoint, and takes -1 for an illegal instruction:
 * an access violation in the plug-in would be reported as something else,
 * and a handler that catches access violations would not see it. This
 * library wraps the handlers Wine installs for the fault signals and, only
 * where the trap number is -1, puts in the one the kernel gives on x86 for
 * that signal and code.
 *
 * Freestanding: no C library headers, so that a 64-bit gcc builds it with
 * -m32 alone; linked against the 32-bit C library for dlsym:
 *   gcc -m32 -O2 -fPIC -ffreestanding -fno-stack-protector -fno-builtin -mno-sse -c wine32-trapno.c
 *   ld -m elf_i386 -shared -o wine32-trapno.so wine32-trapno.o /lib/i386-linux-gnu/libc.so.6
 */

typedef void (*Handler)(int, void *, void *);

/* The C library's struct sigaction on i386. */
struct Action {
  void *handler;
  unsigned long mask[32];
  int flags;
  void *restorer;
};

enum { kSaSiginfo = 4, kSignals = 65 };
enum { kSigTrap = 5, kSigIll = 4, kSigBus = 7, kSigFpe = 8, kSigSegv = 11 };
/* ucontext_t.uc_mcontext.gregs starts 20 bytes in; REG_TRAPNO is gregs[12]. */
enum { kGregsOffset = 20, kRegTrapno = 12 };

#define RTLD_NEXT ((void *)-1)
extern void *dlsym(void *, const char *);

static int (*real_sigaction)(int, const struct Action *, struct Action *);
static Handler wrapped[kSignals];

static int IsFaultSignal(int sig) {
  return sig == kSigSegv || sig == kSigIll || sig == kSigBus || sig == kSigFpe || sig == kSigTrap;
}

/* The x86 exception vector the kernel reports for a signal and its si_code. */
static int TrapNumber(int sig, int code) {
  switch (sig) {
    case kSigSegv:
      return (code == 1 || code == 2) ? 14 : 13; /* page fault / general protection */
    case kSigIll:
      return 6; /* invalid opcode */
    case kSigBus:
      return code == 1 ? 17 : 14; /* alignment check / page fault */
    case kSigFpe:
      return (code == 1 || code == 2) ? 0 : 16; /* divide error / x87 error */
    case kSigTrap:
      return code == 0x80 ? 3 : 1; /* int3 / debug */
  }
  return -1;
}

static void Trampoline(int sig, void *info, void *context) {
  int *gregs = (int *)((char *)context + kGregsOffset);
  if (gregs[kRegTrapno] == -1) {
    int trap = TrapNumber(sig, ((int *)info)[2]); /* siginfo_t.si_code */
    if (trap >= 0) gregs[kRegTrapno] = trap;
  }
  wrapped[sig](sig, info, context);
}

int sigaction(int sig, const struct Action *action, struct Action *old) {
  struct Action copy;
  Handler previous = (sig > 0 && sig < kSignals) ? wrapped[sig] : 0;
  int result;
  if (!real_sigaction) {
    real_sigaction =
        (int (*)(int, const struct Action *, struct Action *))dlsym(RTLD_NEXT, "sigaction");
  }
  if (action && sig > 0 && sig < kSignals && (action->flags & kSaSiginfo) && IsFaultSignal(sig)) {
    copy = *action;
    wrapped[sig] = (Handler)action->handler;
    copy.handler = (void *)Trampoline;
    action = &copy;
  }
  result = real_sigaction(sig, action, old);
  if (result != 0 && action == &copy) wrapped[sig] = previous;
  /* The caller gets back the handler it installed, not the trampoline. */
  if (result == 0 && old && old->handler == (void *)Trampoline) old->handler = (void *)previous;
  return result;
}

int __sigaction(int sig, const struct Action *action, struct Action *old)
    __attribute__((alias("sigaction")));
