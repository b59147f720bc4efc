/* Times a GUI program from exec to its first mapped top-level window on the
 * X server named by DISPLAY, and reads its resident memory at that moment and
 * once it has settled. Prints the median of several runs.
 *
 *   startup_probe RUNS SETTLE_MS program [args...]
 */
#define _GNU_SOURCE
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <xcb/xcb.h>

static double now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

static long rss_kib(pid_t pid)
{
    char path[64], line[256];
    long kib = -1;
    snprintf(path, sizeof path, "/proc/%d/status", (int)pid);
    FILE* f = fopen(path, "r");
    if (!f)
        return -1;
    while (fgets(line, sizeof line, f))
        if (sscanf(line, "VmRSS: %ld kB", &kib) == 1)
            break;
    fclose(f);
    return kib;
}

static int cmp_double(const void* a, const void* b)
{
    double x = *(const double*)a, y = *(const double*)b;
    return (x > y) - (x < y);
}

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: %s RUNS SETTLE_MS program [args...]\n", argv[0]);
        return 2;
    }
    int runs = atoi(argv[1]);
    int settle_ms = atoi(argv[2]);
    if (runs < 1 || runs > 1000)
        return 2;
    double* times = calloc((size_t)runs, sizeof *times);
    double* rss_map = calloc((size_t)runs, sizeof *rss_map);
    double* rss_settled = calloc((size_t)runs, sizeof *rss_settled);

    xcb_connection_t* c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "startup_probe: cannot connect to the X server\n");
        return 1;
    }
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    for (int i = 0; i < runs; ++i) {
        double t0 = now_ms();
        pid_t pid = fork();
        if (pid == 0) {
            /* The program's own chatter would clutter the figures. */
            int null_fd = open("/dev/null", O_WRONLY);
            if (null_fd >= 0) {
                dup2(null_fd, STDOUT_FILENO);
                dup2(null_fd, STDERR_FILENO);
            }
            execvp(argv[3], argv + 3);
            _exit(127);
        }
        int mapped = 0;
        while (!mapped) {
            xcb_generic_event_t* ev = xcb_wait_for_event(c);
            if (!ev) {
                fprintf(stderr, "startup_probe: X connection lost\n");
                return 1;
            }
            if ((ev->response_type & ~0x80) == XCB_MAP_NOTIFY) {
                xcb_map_notify_event_t* m = (xcb_map_notify_event_t*)ev;
                mapped = !m->override_redirect;
            }
            free(ev);
        }
        times[i] = now_ms() - t0;
        rss_map[i] = rss_kib(pid) / 1024.0;
        usleep((useconds_t)settle_ms * 1000);
        rss_settled[i] = rss_kib(pid) / 1024.0;
        kill(pid, SIGKILL);
        waitpid(pid, NULL, 0);
        /* Drop the unmap/destroy events of this run. */
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), NULL));
        xcb_generic_event_t* ev;
        while ((ev = xcb_poll_for_event(c)))
            free(ev);
    }
    qsort(times, (size_t)runs, sizeof *times, cmp_double);
    qsort(rss_map, (size_t)runs, sizeof *rss_map, cmp_double);
    qsort(rss_settled, (size_t)runs, sizeof *rss_settled, cmp_double);
    printf("median %.1f ms (min %.1f, max %.1f)  rss at map %.1f MiB  rss after %d ms %.1f MiB\n",
           times[runs / 2], times[0], times[runs - 1], rss_map[runs / 2], settle_ms,
           rss_settled[runs / 2]);
    xcb_disconnect(c);
    return 0;
}
