/* Times GUI programs from exec to their first mapped top-level window on the
 * X server named by DISPLAY, and reads their resident memory at that moment
 * and once they have settled. The programs take turns, run after run, so that
 * a machine busy with something else weighs on all of them alike. Prints the
 * median of the runs of each, and each one's figures as a multiple of the
 * first program's.
 *
 *   startup_probe RUNS SETTLE_MS program [args...] [-- program [args...]]...
 *
 * Each run is killed once measured; the sockets it leaves in the folder
 * named by STARTUP_PROBE_SOCKETS are removed, as its normal exit would.
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
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

struct figures
{
    char** argv;
    double *times, *rss_map, *rss_settled;
};

/* Removes the sockets in `dir`, as a program that ends normally removes its
 * own: each run is then an ordinary start, not one after a crash. */
static void remove_sockets(const char* dir)
{
    DIR* d = dir ? opendir(dir) : NULL;
    if (!d)
        return;
    struct dirent* e;
    char path[4096];
    struct stat st;
    while ((e = readdir(d)))
        if (snprintf(path, sizeof path, "%s/%s", dir, e->d_name) < (int)sizeof path &&
            lstat(path, &st) == 0 && S_ISSOCK(st.st_mode))
            unlink(path);
    closedir(d);
}

/* One run: exec to the first mapped window, and the memory then and later. */
static int run_once(xcb_connection_t* c, char** argv, int settle_ms, double* time, double* rss_map,
                    double* rss_settled)
{
    double t0 = now_ms();
    pid_t pid = fork();
    if (pid == 0) {
        /* The program's own chatter would clutter the figures. */
        int null_fd = open("/dev/null", O_WRONLY);
        if (null_fd >= 0) {
            dup2(null_fd, STDOUT_FILENO);
            dup2(null_fd, STDERR_FILENO);
        }
        execvp(argv[0], argv);
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
    *time = now_ms() - t0;
    *rss_map = rss_kib(pid) / 1024.0;
    usleep((useconds_t)settle_ms * 1000);
    *rss_settled = rss_kib(pid) / 1024.0;
    kill(pid, SIGKILL);
    waitpid(pid, NULL, 0);
    remove_sockets(getenv("STARTUP_PROBE_SOCKETS"));
    /* Drop the unmap/destroy events of this run. */
    free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), NULL));
    xcb_generic_event_t* ev;
    while ((ev = xcb_poll_for_event(c)))
        free(ev);
    return 0;
}

static double median(double* v, int n)
{
    qsort(v, (size_t)n, sizeof *v, cmp_double);
    return v[n / 2];
}

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: %s RUNS SETTLE_MS program [args...] [-- program [args...]]...\n",
                argv[0]);
        return 2;
    }
    int runs = atoi(argv[1]);
    int settle_ms = atoi(argv[2]);
    if (runs < 1 || runs > 1000)
        return 2;
    struct figures programs[8];
    int count = 0;
    for (int i = 3; i < argc && count < 8; ++count) {
        programs[count].argv = argv + i;
        programs[count].times = calloc((size_t)runs, sizeof(double));
        programs[count].rss_map = calloc((size_t)runs, sizeof(double));
        programs[count].rss_settled = calloc((size_t)runs, sizeof(double));
        while (i < argc && strcmp(argv[i], "--") != 0)
            ++i;
        if (i < argc)
            argv[i++] = NULL; /* ends this program's arguments */
    }

    xcb_connection_t* c = xcb_connect(NULL, NULL);
    if (xcb_connection_has_error(c)) {
        fprintf(stderr, "startup_probe: cannot connect to the X server\n");
        return 1;
    }
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    for (int i = 0; i < runs; ++i)
        for (int p = 0; p < count; ++p)
            if (run_once(c, programs[p].argv, settle_ms, &programs[p].times[i],
                         &programs[p].rss_map[i], &programs[p].rss_settled[i]))
                return 1;

    double base_time = 0, base_map = 0, base_settled = 0;
    for (int p = 0; p < count; ++p) {
        struct figures* f = &programs[p];
        double t = median(f->times, runs), m = median(f->rss_map, runs),
               r = median(f->rss_settled, runs);
        if (p == 0)
            base_time = t, base_map = m, base_settled = r;
        printf("%s\n    median %.1f ms (min %.1f, max %.1f)  rss at map %.1f MiB  after %d ms %.1f "
               "MiB",
               f->argv[0], t, f->times[0], f->times[runs - 1], m, settle_ms, r);
        if (p > 0)
            printf("  = %.2fx time, %.2fx / %.2fx memory", t / base_time, m / base_map,
                   r / base_settled);
        printf("\n");
    }
    xcb_disconnect(c);
    return 0;
}
