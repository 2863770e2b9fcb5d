/* bench/xwatch.c — the benchmark's eye on the X server: when a window of a given name is mapped, to the
 * microsecond, seen as an event rather than by polling.
 *
 *   xwatch launch NAME TIMEOUT_S CMD [ARGS...]
 *       starts CMD and prints "PID MS": its pid and the milliseconds from just before the fork to the first
 *       MapNotify of a top-level window named NAME ("PID -1" on timeout). CMD is left running.
 *   xwatch maps NAME TIMEOUT_S
 *       prints "map WID EPOCH_S" / "unmap WID EPOCH_S" (wall clock, 6 decimals) for every top-level window named
 *       NAME as it is mapped or unmapped, until TIMEOUT_S or SIGTERM.
 *   xwatch clocks
 *       prints "WALL_S RAW_S": the wall clock and CLOCK_MONOTONIC_RAW read back to back (no display needed).
 *       Wine's tick count, which stamps its debug lines, is CLOCK_MONOTONIC_RAW in milliseconds, so the
 *       difference maps a trace line to wall time.
 *
 * Wine maps a top-level window as a child of the root when there is no window manager, which is the case under
 * the benchmark's Xvfb; the name is set before the window is mapped, but a late name is caught too. */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static double now(clockid_t c) {
    struct timespec ts;
    clock_gettime(c, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

static int ignore_errors(Display *d, XErrorEvent *e) { (void)d; (void)e; return 0; }

static int named(Display *d, Window w, const char *name) {
    char *got = NULL;
    int ok = XFetchName(d, w, &got) && got && strcmp(got, name) == 0;
    if (got) XFree(got);
    return ok;
}

static int mapped(Display *d, Window w) {
    XWindowAttributes a;
    return XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
}

/* Waits for the next X event up to DEADLINE (monotonic seconds); 0 on timeout. */
static int next_event(Display *d, XEvent *ev, double deadline) {
    while (!XPending(d)) {
        double left = deadline - now(CLOCK_MONOTONIC);
        if (left <= 0) return 0;
        struct pollfd p = {ConnectionNumber(d), POLLIN, 0};
        poll(&p, 1, left > 1 ? 1000 : (int)(left * 1000) + 1);
    }
    XNextEvent(d, ev);
    return 1;
}

int main(int argc, char **argv) {
    if (argc == 2 && !strcmp(argv[1], "clocks")) {
        /* the raw clock read twice around the wall clock: the midpoint pairs with it to within a microsecond */
        double r0 = now(CLOCK_MONOTONIC_RAW), w = now(CLOCK_REALTIME), r1 = now(CLOCK_MONOTONIC_RAW);
        printf("%.6f %.6f\n", w, (r0 + r1) / 2);
        return 0;
    }
    if (argc < 4 || (strcmp(argv[1], "launch") && strcmp(argv[1], "maps")) ||
        (!strcmp(argv[1], "launch") && argc < 5)) {
        fprintf(stderr, "usage: xwatch launch NAME TIMEOUT_S CMD [ARGS...] | xwatch maps NAME TIMEOUT_S | xwatch clocks\n");
        return 2;
    }
    const char *name = argv[2];
    double timeout = atof(argv[3]);
    Display *d = XOpenDisplay(NULL);
    if (!d) { fprintf(stderr, "xwatch: no display\n"); return 2; }
    XSetErrorHandler(ignore_errors);
    Window root = DefaultRootWindow(d);
    XSelectInput(d, root, SubstructureNotifyMask);
    XSync(d, False);
    setvbuf(stdout, NULL, _IOLBF, 0);

    if (!strcmp(argv[1], "launch")) {
        signal(SIGCHLD, SIG_IGN);   /* the child outlives us; nobody waits for it here */
        double t0 = now(CLOCK_MONOTONIC);
        pid_t pid = fork();
        if (pid < 0) { perror("fork"); return 2; }
        if (pid == 0) {
            /* our stdout is the caller's pipe: held open by the child, it would keep the caller waiting */
            int null = open("/dev/null", O_WRONLY);
            if (null >= 0) dup2(null, STDOUT_FILENO);
            close(ConnectionNumber(d));
            execvp(argv[4], argv + 4);
            _exit(127);
        }
        double deadline = t0 + timeout;
        XEvent ev;
        while (next_event(d, &ev, deadline)) {
            Window w = 0;
            if (ev.type == MapNotify) w = ev.xmap.window;
            else if (ev.type == CreateNotify) XSelectInput(d, ev.xcreatewindow.window, PropertyChangeMask);
            else if (ev.type == PropertyNotify && ev.xproperty.atom == XA_WM_NAME && mapped(d, ev.xproperty.window))
                w = ev.xproperty.window;
            if (w && named(d, w, name)) {
                printf("%d %.3f\n", (int)pid, (now(CLOCK_MONOTONIC) - t0) * 1000);
                return 0;
            }
        }
        printf("%d -1\n", (int)pid);
        return 1;
    }

    double deadline = now(CLOCK_MONOTONIC) + timeout;
    XEvent ev;
    while (next_event(d, &ev, deadline)) {
        double wall = now(CLOCK_REALTIME);
        if (ev.type == MapNotify && named(d, ev.xmap.window, name))
            printf("map 0x%lx %.6f\n", ev.xmap.window, wall);
        else if (ev.type == UnmapNotify && named(d, ev.xunmap.window, name))
            printf("unmap 0x%lx %.6f\n", ev.xunmap.window, wall);
    }
    return 0;
}
