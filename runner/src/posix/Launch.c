/* SPDX-License-Identifier: MIT */
/* consolecommand-launch: the small program the runner starts in place of the program it runs.

   Why: Linux keeps a process's peak resident memory (ru_maxrss) in its signal_struct and, at
   exec, raises it to the peak of the address space exec replaces. A child the runner forks from
   a big application therefore reports at least the application's size as its own peak. The
   launcher is tiny, and the program runs in a process the launcher forks (a fresh
   signal_struct), so the peak the launcher reads when it reaps the program is the program's
   own, children it waited for included.

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
   signal. */
#define _GNU_SOURCE
#include "LaunchReport.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

static void WriteAll(int AFd, const void *AData, size_t ASize) {
    const char *p = (const char *)AData;
    while (ASize > 0) {
        ssize_t n = write(AFd, p, ASize);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return; /* the runner has gone: nothing to tell */
        p += n;
        ASize -= (size_t)n;
    }
}

/* Tells the runner why the program could not start, as the runner's own child did. */
static _Noreturn void Fail(int AErrorFd, int AError) {
    WriteAll(AErrorFd, &AError, sizeof AError);
    _exit(127);
}

static int ParseFd(const char *AText) {
    char *end = NULL;
    long value = strtol(AText, &end, 10);
    return end != AText && *end == '\0' && value >= 0 && value < 1024 ? (int)value : -1;
}

/* Ends the launcher as the program ended. */
static _Noreturn void EndLike(int ACode, int AStatus) {
    if (ACode == CLD_EXITED) _exit(AStatus & 0xff);
    /* The same signal, with its default action; no core file of the launcher's own. */
    const struct rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    signal(AStatus, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, AStatus);
    sigprocmask(SIG_UNBLOCK, &set, NULL);
    raise(AStatus);
    _exit(128 + AStatus); /* a signal whose default action does not end a process */
}

int main(int argc, char **argv) {
    if (argc < 5) return 127;
    const int errorFd = ParseFd(argv[1]);
    const int reportFd = ParseFd(argv[2]);
    if (errorFd < 0 || reportFd < 0) return 127;
    const char *program = argv[3];
    char **programArgv = argv + 4;

    const pid_t self = getpid();
    const pid_t pid = fork();
    if (pid < 0) Fail(errorFd, errno);
    if (pid == 0) {
        /* The program: the leader of a group of its own, ended when the launcher ends (which
           itself ends when the runner ends), without the two pipes. */
        if (setpgid(0, 0) != 0) Fail(errorFd, errno);
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) Fail(errorFd, errno);
        if (getppid() != self) _exit(127); /* the launcher is already gone */
        if (fcntl(errorFd, F_SETFD, FD_CLOEXEC) != 0 || fcntl(reportFd, F_SETFD, FD_CLOEXEC) != 0)
            Fail(errorFd, errno);
        execve(program, programArgv, environ);
        Fail(errorFd, errno);
    }

    /* The pid goes out before the error pipe closes here, so the runner, which reads it after
       end of file on the error pipe, finds it waiting. */
    const struct TLaunchStarted started = {LAUNCH_STARTED_MAGIC, (int32_t)pid};
    WriteAll(reportFd, &started, sizeof started);
    close(errorFd);
    /* The program's standard descriptors stay the program's alone: its input pipe reports a
       closed reader and its output pipe ends when the program and its children close them. */
    close(0);
    close(1);
    close(2);
    /* Signals meant for someone at large (a terminal, a "kill" by pid) do not end the launcher
       before the program: it stays to report. A SIGKILL ends it, and the program with it. */
    static const int ignored[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGPIPE, SIGTERM, SIGUSR1,
                                  SIGUSR2, SIGALRM, SIGTSTP, SIGTTIN, SIGTTOU};
    for (size_t i = 0; i < sizeof ignored / sizeof ignored[0]; ++i)
        signal(ignored[i], SIG_IGN);

    /* The end of the program, without reaping it yet (WNOWAIT); the system call itself, since
       the C library's waitid has no rusage. The kernel fills in the same rusage as for wait4. */
    siginfo_t info;
    struct rusage usage;
    for (;;) {
        memset(&info, 0, sizeof info);
        memset(&usage, 0, sizeof usage);
        if (syscall(SYS_waitid, P_PID, (id_t)pid, &info, WEXITED | WNOWAIT, &usage) == 0) break;
        if (errno != EINTR) return 127;
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
    setpgid(0, pid);
    while (waitpid(pid, NULL, 0) < 0 && errno == EINTR) {
    }
    EndLike(info.si_code, info.si_status);
}
