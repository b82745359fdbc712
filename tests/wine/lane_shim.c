/* Preloaded into Wine's 32-bit processes when qemu-i386 (Debian 12's qemu 7.2) executes them on a
 * kernel without 32-bit execution; it mends three places where that qemu differs from the kernel.
 *
 * 1. mmap with MAP_FIXED_NOREPLACE: qemu treats the address as a hint and maps elsewhere when the
 *    range is taken. Wine's 32-bit address-space reservation relies on the kernel's EEXIST; handed
 *    another address it fills the top of the space and then splits its next reservation down to
 *    64 KiB pieces: tens of thousands of failed calls and a minute per process start.
 * 2. Fault signals: qemu leaves trapno at -1 in the signal context of a guest page fault, and
 *    Wine's handler classifies faults by trapno, so every access violation became an illegal
 *    instruction (and started the debugger). The handler Wine installs is wrapped and trapno is
 *    filled in from si_code first.
 * 3. SIGUSR1: the wineserver interrupts a running thread with it to suspend the thread or to hand
 *    it a system APC (the completion of an asynchronous ioctl, for instance the mount manager query
 *    the shell makes when a shortcut is saved). Delivered by this qemu to a 32-bit thread, Wine's
 *    handler faults on a null pointer and the whole process dies ("uncaught target signal 11").
 *    The signal is ignored instead: the thread takes the APC at its next wait, where the server
 *    hands it over without a signal. A thread suspended from outside then stops only at its next
 *    wait, which no test relies on.
 *
 * Built with gcc -m32 -nostdlib -fno-stack-protector: no 32-bit C library headers are needed, and
 * nothing here touches thread-local storage (the wrapper runs on Wine's signal stack). The 64-bit
 * twin is an empty library, so the loader finds a file for every process that inherits
 * LD_PRELOAD. */
#ifdef QEV_LANE_NOOP
void qev_lane_noop(void) {}
#else
typedef unsigned int size_t;
typedef long long off64_t;

enum {
  kMapFixed = 0x10,
  kMapFixedNoReplace = 0x100000,
  kEexist = 17,
  kSigbus = 7,
  kSigfpe = 8,
  kSigusr1 = 10,
  kSigsegv = 11,
  kSaSiginfo = 4,
};
#define MAP_FAILED_ ((void *)-1)
#define RTLD_NEXT_ ((void *)-1)

extern void *dlsym(void *, const char *);
extern int munmap(void *, size_t);
extern int *__errno_location(void);

static void *refuse_moved(void *asked, void *got, size_t length, int flags) {
  if ((flags & kMapFixedNoReplace) && !(flags & kMapFixed) && got != MAP_FAILED_ && got != asked) {
    munmap(got, length);
    *__errno_location() = kEexist;
    return MAP_FAILED_;
  }
  return got;
}

void *mmap64(void *address, size_t length, int protection, int flags, int fd, off64_t offset) {
  static void *(*next)(void *, size_t, int, int, int, off64_t);
  if (!next) next = dlsym(RTLD_NEXT_, "mmap64");
  return refuse_moved(address, next(address, length, protection, flags, fd, offset), length,
                      flags);
}

void *mmap(void *address, size_t length, int protection, int flags, int fd, long offset) {
  static void *(*next)(void *, size_t, int, int, int, long);
  if (!next) next = dlsym(RTLD_NEXT_, "mmap");
  return refuse_moved(address, next(address, length, protection, flags, fd, offset), length,
                      flags);
}

/* The i386 glibc layout of struct sigaction: handler, 128-byte mask, flags, restorer. */
struct i386_sigaction {
  void *handler;
  unsigned mask[32];
  int flags;
  void *restorer;
};
typedef void (*info_handler)(int, void *, void *);
static info_handler wine_handler[32];

static void with_trap_number(int signal, void *info, void *context) {
  int code = ((int *)info)[2]; /* si_signo, si_errno, si_code */
  /* ucontext: uc_flags, uc_link, uc_stack (12 bytes), then the general registers GS FS ES DS EDI
   * ESI EBP ESP EBX EDX ECX EAX TRAPNO ... */
  unsigned *trapno = (unsigned *)((char *)context + 20) + 12;
  if (*trapno == 0xffffffffu) {
    if (signal == kSigsegv || signal == kSigbus)
      *trapno = (code == 1 || code == 2) ? 14 : 13; /* mapping or access error: page fault */
    else if (signal == kSigfpe)
      *trapno = code == 1 ? 0 : code == 2 ? 4 : 16; /* divide error, overflow, x87/SSE */
  }
  wine_handler[signal](signal, info, context);
}

int sigaction(int signal, const struct i386_sigaction *action, struct i386_sigaction *old) {
  static int (*next)(int, const struct i386_sigaction *, struct i386_sigaction *);
  struct i386_sigaction wrapped;
  info_handler previous = 0;
  int result;
  if (!next) next = dlsym(RTLD_NEXT_, "sigaction");
  if (signal > 0 && signal < 32) previous = wine_handler[signal];
  if (action && signal == kSigusr1 && (unsigned long)action->handler > 1) {
    wrapped = *action;
    wrapped.handler = (void *)1; /* SIG_IGN */
    wrapped.flags &= ~kSaSiginfo;
    return next(signal, &wrapped, old);
  }
  if (action && (signal == kSigsegv || signal == kSigbus || signal == kSigfpe) &&
      (action->flags & kSaSiginfo) && (unsigned long)action->handler > 1) {
    wrapped = *action;
    wrapped.handler = (void *)with_trap_number;
    wine_handler[signal] = (info_handler)action->handler; /* before a fault can arrive */
    result = next(signal, &wrapped, old);
  } else {
    result = next(signal, action, old);
  }
  if (result == 0 && old && old->handler == (void *)with_trap_number)
    old->handler = (void *)previous;
  return result;
}
#endif
