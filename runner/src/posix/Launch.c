/* SPDX-License-Identifier: MIT */
/* consolecommand-launch: the small program the runner starts in place of the program it runs.

   Why: Linux keeps a process's peak resident memory (ru_maxrss) in its signal_struct and, at
   exec, raises it to the peak of the address space exec replaces. A child the runner forks from
   a big application therefore reports at least the application's size as its own peak. The
   launcher is tiny, and the program runs in a process the launcher starts (a new process, with
   a signal_struct of its own), so the peak the launcher reads when it reaps the program is the
   program's own, children it waited for included.

   Usage: consolecommand-launch ERROR_FD REPORT_FD PROGRAM ARGV0 [ARG...]
   The runner has already set up everything the program inherits: standard input, output and
   error, the working folder, the environment, default signal dispositions, an empty signal
   mask, every other descriptor closed. PROGRAM is a path (the runner searched PATH).

   The program gets a process group of its own (the runner signals that group to stop a run;
   the launcher is outside it and survives to report), SIGKILL as its parent-death signal, and
   neither of the two pipes. A failed exec writes its errno to the error pipe as before; the
   runner sees end of file there only once the program really runs. The launcher writes the
   program's pid and, after it ended, its wait status and rusage to the report pipe
   (LaunchReport.h), then ends the way the program ended: the same exit status, or the same
   signal.

   Every run pays for the launcher's exec, so on x86-64 it is built freestanding (no C library,
   LAUNCH_FREESTANDING): a static program of a few pages whose start-up does nothing, where the C
   library's own start-up (dynamic linking, CPU feature probing) would cost more than the rest
   of the launcher together. It therefore calls the kernel only through Sys() below, which is
   the C library's syscall() in the ordinary build. */
#define _GNU_SOURCE
#include "LaunchReport.h"

/* Headers for constants and kernel structures only: no function of the C library is called
   in the freestanding build. */
#include <errno.h>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <stddef.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>

/* A system call: its result, or minus the error number. */
#if defined(LAUNCH_FREESTANDING) && defined(__x86_64__)
static long Sys6(long ANumber, long A1, long A2, long A3, long A4, long A5, long A6) {
    register long r10 __asm__("r10") = A4;
    register long r8 __asm__("r8") = A5;
    register long r9 __asm__("r9") = A6;
    long result;
    __asm__ volatile("syscall"
                     : "=a"(result)
                     : "a"(ANumber), "D"(A1), "S"(A2), "d"(A3), "r"(r10), "r"(r8), "r"(r9)
                     : "rcx", "r11", "memory");
    return result;
}

/* The compiler may call these for copies and clearing. */
void *memset(void *ADest, int AValue, size_t ACount) {
    unsigned char *d = (unsigned char *)ADest;
    while (ACount-- > 0)
        *d++ = (unsigned char)AValue;
    return ADest;
}
void *memcpy(void *ADest, const void *ASource, size_t ACount) {
    unsigned char *d = (unsigned char *)ADest;
    const unsigned char *s = (const unsigned char *)ASource;
    while (ACount-- > 0)
        *d++ = *s++;
    return ADest;
}
#elif defined(LAUNCH_FREESTANDING)
#error "the freestanding launcher is written for x86-64 only"
#else
#include <unistd.h>
static long Sys6(long ANumber, long A1, long A2, long A3, long A4, long A5, long A6) {
    const long result = syscall(ANumber, A1, A2, A3, A4, A5, A6);
    return result < 0 ? -errno : result;
}
#endif

#define Sys(N, A1, A2, A3, A4) Sys6((N), (long)(A1), (long)(A2), (long)(A3), (long)(A4), 0, 0)

/* The kernel's struct sigaction, which is not the C library's. */
struct TKernelSigaction {
    void (*Handler)(int);
    unsigned long Flags;
    void (*Restorer)(void);
    unsigned long Mask;
};

static _Noreturn void Exit(int ACode) {
    for (;;)
        Sys(SYS_exit_group, ACode, 0, 0, 0);
}

static void WriteAll(int AFd, const void *AData, size_t ASize) {
    const char *p = (const char *)AData;
    while (ASize > 0) {
        const long n = Sys(SYS_write, AFd, p, ASize, 0);
        if (n == -EINTR) continue;
        if (n <= 0) return; /* the runner has gone: nothing to tell */
        p += n;
        ASize -= (size_t)n;
    }
}

/* Tells the runner why the program could not start, as the runner's own child did. */
static _Noreturn void Fail(int AErrorFd, long AResult) {
    const int error = (int)-AResult;
    WriteAll(AErrorFd, &error, sizeof error);
    Exit(127);
}

static int ParseFd(const char *AText) {
    int value = 0;
    if (*AText == '\0') return -1;
    for (; *AText; ++AText) {
        if (*AText < '0' || *AText > '9' || value > 100000) return -1;
        value = value * 10 + (*AText - '0');
    }
    return value;
}

static void SetDisposition(int ASignal, void (*AHandler)(int)) {
    struct TKernelSigaction action = {AHandler, 0, NULL, 0};
    Sys(SYS_rt_sigaction, ASignal, &action, NULL, sizeof action.Mask);
}

/* Ends the launcher as the program ended. */
static _Noreturn void EndLike(int ACode, int AStatus) {
    if (ACode == CLD_EXITED) Exit(AStatus & 0xff);
    /* The same signal, with its default action; no core file of the launcher's own. */
    const struct rlimit noCore = {0, 0};
    Sys(SYS_setrlimit, RLIMIT_CORE, &noCore, 0, 0);
    SetDisposition(AStatus, SIG_DFL);
    unsigned long mask = 1ul << (AStatus - 1);
    Sys(SYS_rt_sigprocmask, SIG_UNBLOCK, &mask, NULL, sizeof mask);
    Sys(SYS_kill, Sys(SYS_getpid, 0, 0, 0, 0), AStatus, 0, 0);
    Exit(128 + AStatus); /* a signal whose default action does not end a process */
}

/* What the program's process needs, set before it is started. */
struct TProgram {
    long Launcher; /* the launcher's pid */
    int ErrorFd;
    int ReportFd;
    const char *Path;
    char **Argv;
    char **Envp;
};
static struct TProgram GProgram;

/* The program's process, until its exec: the leader of a group of its own, ended when the
   launcher ends (which itself ends when the runner ends), without the two pipes. */
__attribute__((used)) _Noreturn void RunProgram(void) {
    long r = Sys(SYS_setpgid, 0, 0, 0, 0);
    if (r < 0) Fail(GProgram.ErrorFd, r);
    r = Sys(SYS_prctl, PR_SET_PDEATHSIG, SIGKILL, 0, 0);
    if (r < 0) Fail(GProgram.ErrorFd, r);
    if (Sys(SYS_getppid, 0, 0, 0, 0) != GProgram.Launcher) Exit(127); /* the launcher is already gone */
    if ((r = Sys(SYS_fcntl, GProgram.ErrorFd, F_SETFD, FD_CLOEXEC, 0)) < 0 ||
        (r = Sys(SYS_fcntl, GProgram.ReportFd, F_SETFD, FD_CLOEXEC, 0)) < 0)
        Fail(GProgram.ErrorFd, r);
    Fail(GProgram.ErrorFd, Sys(SYS_execve, GProgram.Path, GProgram.Argv, GProgram.Envp, 0));
}

/* Starts RunProgram in a new process; its pid, or minus the error number. */
#if defined(LAUNCH_FREESTANDING)
/* As vfork: the process shares the launcher's memory (no copy of it to make or to fault in) and
   runs on a stack of its own, while the launcher waits for its exec or its end. */
__attribute__((used, aligned(16))) char GProgramStack[16384];
long StartProgram(void);
__asm__(".text\n"
        "StartProgram:\n"
        "    mov $56, %eax\n"                       /* clone */
        "    mov $0x4111, %edi\n"                   /* CLONE_VM | CLONE_VFORK | SIGCHLD */
        "    lea GProgramStack+16384(%rip), %rsi\n" /* the new process's stack */
        "    xor %edx, %edx\n"
        "    xor %r10d, %r10d\n"
        "    xor %r8d, %r8d\n"
        "    syscall\n"
        "    test %rax, %rax\n"
        "    jnz 1f\n"
        "    xor %ebp, %ebp\n"
        "    call RunProgram\n"
        "    hlt\n"
        "1:  ret\n");
_Static_assert(SYS_clone == 56 && CLONE_VM == 0x100 && CLONE_VFORK == 0x4000 && SIGCHLD == 17,
               "the clone call above");
#else
static long StartProgram(void) {
    const long pid = Sys(SYS_clone, SIGCHLD, 0, 0, 0); /* fork */
    if (pid == 0) RunProgram();
    return pid;
}
#endif

static int Launch(int AArgc, char **AArgv, char **AEnvp) {
    if (AArgc < 5) return 127;
    const int errorFd = ParseFd(AArgv[1]);
    const int reportFd = ParseFd(AArgv[2]);
    if (errorFd < 0 || reportFd < 0) return 127;

    GProgram.Launcher = Sys(SYS_getpid, 0, 0, 0, 0);
    GProgram.ErrorFd = errorFd;
    GProgram.ReportFd = reportFd;
    GProgram.Path = AArgv[3];
    GProgram.Argv = AArgv + 4;
    GProgram.Envp = AEnvp;
    const long pid = StartProgram();
    if (pid < 0) Fail(errorFd, pid);
    /* The pid goes out before the error pipe closes here, so the runner, which reads it after
       end of file on the error pipe, finds it waiting. */
    const struct TLaunchStarted started = {LAUNCH_STARTED_MAGIC, (int32_t)pid};
    WriteAll(reportFd, &started, sizeof started);
    Sys(SYS_close, errorFd, 0, 0, 0);
    /* The program's standard descriptors stay the program's alone: its input pipe reports a
       closed reader and its output pipe ends when the program and its children close them. */
    for (int fd = 0; fd < 3; ++fd)
        Sys(SYS_close, fd, 0, 0, 0);
    /* Signals meant for someone at large (a terminal, a "kill" by pid) do not end the launcher
       before the program: it stays to report. A SIGKILL ends it, and the program with it. */
    static const int ignored[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGPIPE, SIGTERM, SIGUSR1,
                                  SIGUSR2, SIGALRM, SIGTSTP, SIGTTIN, SIGTTOU};
    for (size_t i = 0; i < sizeof ignored / sizeof ignored[0]; ++i)
        SetDisposition(ignored[i], SIG_IGN);

    /* The end of the program, without reaping it yet (WNOWAIT); waitid's system call takes a
       rusage, which the kernel fills in as for wait4. */
    siginfo_t info;
    struct rusage usage;
    for (;;) {
        memset(&info, 0, sizeof info);
        memset(&usage, 0, sizeof usage);
        const long r = Sys6(SYS_waitid, P_PID, pid, (long)&info, WEXITED | WNOWAIT, (long)&usage, 0);
        if (r == 0) break;
        if (r != -EINTR) return 127;
    }
    struct TLaunchEnded ended;
    memset(&ended, 0, sizeof ended);
    ended.Magic = LAUNCH_ENDED_MAGIC;
    ended.Code = info.si_code;
    ended.Status = info.si_status;
    ended.UserMicroseconds = (int64_t)usage.ru_utime.tv_sec * 1000000 + usage.ru_utime.tv_usec;
    ended.SystemMicroseconds = (int64_t)usage.ru_stime.tv_sec * 1000000 + usage.ru_stime.tv_usec;
    ended.MaxResidentKilobytes = usage.ru_maxrss;
    WriteAll(reportFd, &ended, sizeof ended);

    /* Joining the program's group while the program (a zombie now) still holds it keeps the
       group's id taken until the runner reaps the launcher, so the runner's last kill of the
       group (for children left holding the output) never reaches a group that reused the id. */
    Sys(SYS_setpgid, 0, pid, 0, 0);
    while (Sys(SYS_wait4, pid, NULL, 0, NULL) == -EINTR) {
    }
    EndLike(info.si_code, info.si_status);
}

#if defined(LAUNCH_FREESTANDING)
/* The process starts here: the stack holds argc, the argv pointers, NULL, the environment. */
__attribute__((used)) _Noreturn void LaunchStart(long *AStack) {
    const int argc = (int)AStack[0];
    char **argv = (char **)(AStack + 1);
    Exit(Launch(argc, argv, argv + argc + 1));
}
__asm__(".text\n"
        ".global _start\n"
        "_start:\n"
        "    xor %rbp, %rbp\n"
        "    mov %rsp, %rdi\n"
        "    and $-16, %rsp\n"
        "    call LaunchStart\n"
        "    hlt\n");
#else
extern char **environ;
int main(int argc, char **argv) {
    return Launch(argc, argv, environ);
}
#endif
