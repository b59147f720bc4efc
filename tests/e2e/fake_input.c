/* Presses keys the way a keyboard would, through KWin's fake-input protocol,
 * so that they reach the compositor's global shortcuts:
 *   fake_input CODE...  presses the evdev key codes in order, then releases
 *                       them in reverse (29 20: Ctrl+T).
 * KWin grants the protocol only to a program whose desktop entry names it in
 * X-KDE-Wayland-Interfaces. */
#include "fake-input-client.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wayland-client.h>

static struct org_kde_kwin_fake_input* fake;

static void global(void* data, struct wl_registry* r, uint32_t name, const char* iface, uint32_t v)
{
    (void)data;
    if (strcmp(iface, org_kde_kwin_fake_input_interface.name) == 0)
        fake = wl_registry_bind(r, name, &org_kde_kwin_fake_input_interface, v < 4 ? v : 4);
}
static void global_remove(void* data, struct wl_registry* r, uint32_t name)
{
    (void)data, (void)r, (void)name;
}
static const struct wl_registry_listener listener = {global, global_remove};

int main(int argc, char** argv)
{
    struct wl_display* d = wl_display_connect(NULL);
    if (!d)
        return fprintf(stderr, "fake_input: no Wayland display\n"), 1;
    wl_registry_add_listener(wl_display_get_registry(d), &listener, NULL);
    wl_display_roundtrip(d);
    if (!fake || org_kde_kwin_fake_input_get_version(fake) < 4)
        return fprintf(stderr, "fake_input: the compositor offers no fake keyboard\n"), 1;
    org_kde_kwin_fake_input_authenticate(fake, "Stashbook tests", "presses keys");
    for (int i = 1; i < argc; ++i)
        org_kde_kwin_fake_input_keyboard_key(fake, (uint32_t)atoi(argv[i]), 1);
    for (int i = argc - 1; i >= 1; --i)
        org_kde_kwin_fake_input_keyboard_key(fake, (uint32_t)atoi(argv[i]), 0);
    return wl_display_roundtrip(d) < 0;
}
