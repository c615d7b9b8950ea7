/* SPDX-License-Identifier: MIT */
#pragma once
/* What the launcher (Launch.c) writes to the runner through the report pipe: first a
   TLaunchStarted once the program's process exists, then a TLaunchEnded once the program has
   ended. Plain C, shared by the launcher and the runner, both built from the same tree; the
   magic numbers catch a launcher of another version. Each record is written with one write()
   far below PIPE_BUF, so it arrives whole or not at all. */

#include <stdint.h>

#define LAUNCH_STARTED_MAGIC 0x4c43484bu /* "KHCL" */
#define LAUNCH_ENDED_MAGIC 0x4c43484cu   /* "LHCL" */

/* The descriptors the runner hands the launcher: the close-on-exec error pipe (the program's
   exec failure is written there as an int errno) and the report pipe. */
#define LAUNCH_ERROR_FD 3
#define LAUNCH_REPORT_FD 4

struct TLaunchStarted {
    uint32_t Magic;
    int32_t Pid; /* the program's process id, also the id of its process group */
};

struct TLaunchEnded {
    uint32_t Magic;
    int32_t Code;   /* siginfo's si_code: CLD_EXITED, CLD_KILLED or CLD_DUMPED */
    int32_t Status; /* siginfo's si_status: the exit status or the signal */
    int32_t Reserved;
    /* The program's rusage as wait4 gives it: its own and that of the children it waited for. */
    int64_t UserMicroseconds;
    int64_t SystemMicroseconds;
    int64_t MaxResidentKilobytes;
};
