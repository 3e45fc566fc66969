/*
 * glyphar-xprobe: what the end-to-end tests need from an X server, and what
 * no packaged tool does quite so: find the demo's window, capture it at
 * 16-bit precision (or every bit, with exact), send it input as a person
 * would (XTest), send it Expose and a window manager's WM_DELETE_WINDOW, and
 * compare two captures.
 *
 *   glyphar-xprobe ping
 *   glyphar-xprobe wait WIDTH HEIGHT TIMEOUT_MS     prints the window id
 *   glyphar-xprobe capture WINDOW OUT.ppm [exact]
 *   glyphar-xprobe input WINDOW                     key, motion, click, Expose
 *   glyphar-xprobe close WINDOW
 *   glyphar-xprobe compare A.ppm B.ppm
 *
 * Captures are binary PPM files whose channels keep only the 5-6-5 bits a
 * 16-bit screen holds, so a depth-24 screen, which widens each channel, and a
 * depth-16 screen give the same file.
 */
#define _POSIX_C_SOURCE 200809L

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

static int fail(const char *message)
{
    fprintf(stderr, "glyphar-xprobe: %s\n", message);
    return 1;
}

static Display *open_display(void)
{
    Display *d = XOpenDisplay(NULL);
    if (d == NULL)
        fprintf(stderr, "glyphar-xprobe: cannot open display '%s'\n",
                getenv("DISPLAY") ? getenv("DISPLAY") : "");
    return d;
}

static void sleep_ms(long ms)
{
    struct timespec t;
    t.tv_sec = ms / 1000;
    t.tv_nsec = (ms % 1000) * 1000000L;
    nanosleep(&t, NULL);
}

static Window parse_window(const char *text)
{
    return (Window)strtoul(text, NULL, 0);
}

/* A viewable top-level window of the given size. */
static Window find_window(Display *d, int width, int height)
{
    Window root_return, parent, *children = NULL, found = 0;
    unsigned int n = 0, i;
    if (!XQueryTree(d, DefaultRootWindow(d), &root_return, &parent, &children, &n))
        return 0;
    for (i = 0; i < n && found == 0; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable &&
            a.width == width && a.height == height)
            found = children[i];
    }
    if (children)
        XFree(children);
    return found;
}

static int cmd_wait(int width, int height, long timeout_ms)
{
    Display *d;
    long waited;
    for (waited = 0; waited <= timeout_ms; waited += 20) {
        d = XOpenDisplay(NULL);
        if (d != NULL) {
            Window w = find_window(d, width, height);
            XCloseDisplay(d);
            if (w != 0) {
                printf("0x%lx\n", (unsigned long)w);
                return 0;
            }
        }
        sleep_ms(20);
    }
    return fail("no window of that size appeared in time");
}

/* A channel of a pixel, kept to its top `keep` bits and left-aligned in 8. */
static unsigned char channel(unsigned long pixel, unsigned long mask, int keep)
{
    int shift = 0, bits = 0;
    unsigned long value;
    if (mask == 0)
        return 0;
    while (!((mask >> shift) & 1))
        ++shift;
    while ((mask >> (shift + bits)) & 1)
        ++bits;
    value = (pixel & mask) >> shift;
    if (bits > keep) {
        value >>= bits - keep;
        bits = keep;
    }
    return (unsigned char)(value << (8 - bits));
}

/* Captures the window as PPM. exact keeps every bit of each channel;
 * otherwise channels keep 5-6-5 bits, the precision of a 16-bit screen. */
static int cmd_capture(Window w, const char *path, int exact)
{
    Display *d = open_display();
    XWindowAttributes a;
    XImage *image;
    FILE *out;
    int x, y;
    if (d == NULL)
        return 1;
    if (!XGetWindowAttributes(d, w, &a))
        return fail("no such window");
    image = XGetImage(d, w, 0, 0, (unsigned)a.width, (unsigned)a.height, AllPlanes, ZPixmap);
    if (image == NULL)
        return fail("XGetImage failed");
    out = fopen(path, "wb");
    if (out == NULL)
        return fail("cannot write the capture");
    fprintf(out, "P6\n%d %d\n255\n", a.width, a.height);
    for (y = 0; y < a.height; ++y)
        for (x = 0; x < a.width; ++x) {
            unsigned long p = XGetPixel(image, x, y);
            unsigned char rgb[3];
            rgb[0] = channel(p, image->red_mask, exact ? 8 : 5);
            rgb[1] = channel(p, image->green_mask, exact ? 8 : 6);
            rgb[2] = channel(p, image->blue_mask, exact ? 8 : 5);
            fwrite(rgb, 1, 3, out);
        }
    XDestroyImage(image);
    XCloseDisplay(d);
    return fclose(out) == 0 ? 0 : fail("cannot write the capture");
}

static void send_expose(Display *d, Window w)
{
    Window root_return, parent, *children = NULL;
    unsigned int n = 0, i;
    XWindowAttributes a;
    XEvent e;
    if (!XGetWindowAttributes(d, w, &a))
        return;
    memset(&e, 0, sizeof e);
    e.xexpose.type = Expose;
    e.xexpose.window = w;
    e.xexpose.width = a.width;
    e.xexpose.height = a.height;
    XSendEvent(d, w, False, ExposureMask, &e);
    if (XQueryTree(d, w, &root_return, &parent, &children, &n)) {
        for (i = 0; i < n; ++i)
            send_expose(d, children[i]);
        if (children)
            XFree(children);
    }
}

/* Input through the server, as from a keyboard and a mouse: the pointer
 * moves over the window (so it has the focus), a key is typed, the pointer
 * wanders and clicks; then the window and its children are told to redraw. */
static int cmd_input(Window w)
{
    Display *d = open_display();
    int event_base, error_base, major, minor, x0, y0, step;
    Window child;
    KeyCode key;
    if (d == NULL)
        return 1;
    if (!XTestQueryExtension(d, &event_base, &error_base, &major, &minor))
        return fail("the server has no XTest extension");
    XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x0, &y0, &child);
    XTestFakeMotionEvent(d, -1, x0 + 400, y0 + 300, CurrentTime);
    key = XKeysymToKeycode(d, XK_a);
    XTestFakeKeyEvent(d, key, True, CurrentTime);
    XTestFakeKeyEvent(d, key, False, CurrentTime);
    key = XKeysymToKeycode(d, XK_Escape);
    XTestFakeKeyEvent(d, key, True, CurrentTime);
    XTestFakeKeyEvent(d, key, False, CurrentTime);
    for (step = 0; step < 20; ++step)
        XTestFakeMotionEvent(d, -1, x0 + 100 + step * 30, y0 + 50 + step * 20, CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XTestFakeButtonEvent(d, 3, True, CurrentTime);
    XTestFakeButtonEvent(d, 3, False, CurrentTime);
    send_expose(d, w);
    XSync(d, False);
    XCloseDisplay(d);
    return 0;
}

/* What a window manager sends when the user closes a window. */
static int cmd_close(Window w)
{
    Display *d = open_display();
    XEvent e;
    if (d == NULL)
        return 1;
    memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = (long)XInternAtom(d, "WM_DELETE_WINDOW", False);
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &e);
    XSync(d, False);
    XCloseDisplay(d);
    return 0;
}

static unsigned char *read_ppm(const char *path, int *width, int *height)
{
    FILE *in = fopen(path, "rb");
    unsigned char *pixels = NULL;
    int maxval;
    size_t bytes;
    if (in == NULL)
        return NULL;
    if (fscanf(in, "P6 %d %d %d", width, height, &maxval) == 3 && maxval == 255 &&
        fgetc(in) != EOF && *width > 0 && *height > 0 && *width <= 16384 && *height <= 16384) {
        bytes = (size_t)*width * (size_t)*height * 3;
        pixels = malloc(bytes);
        if (pixels != NULL && fread(pixels, 1, bytes, in) != bytes) {
            free(pixels);
            pixels = NULL;
        }
    }
    fclose(in);
    return pixels;
}

static int cmd_compare(const char *a_path, const char *b_path)
{
    int aw, ah, bw, bh, x, y;
    long differing = 0;
    unsigned char *a = read_ppm(a_path, &aw, &ah), *b = read_ppm(b_path, &bw, &bh);
    if (a == NULL || b == NULL)
        return fail("cannot read both images");
    if (aw != bw || ah != bh) {
        fprintf(stderr, "glyphar-xprobe: sizes differ: %dx%d and %dx%d\n", aw, ah, bw, bh);
        return 1;
    }
    for (y = 0; y < ah; ++y)
        for (x = 0; x < aw; ++x) {
            const unsigned char *p = a + ((size_t)y * aw + x) * 3, *q = b + ((size_t)y * aw + x) * 3;
            if (memcmp(p, q, 3) == 0)
                continue;
            if (differing++ == 0)
                fprintf(stderr, "glyphar-xprobe: first difference at %d,%d: %d,%d,%d against %d,%d,%d\n",
                        x, y, p[0], p[1], p[2], q[0], q[1], q[2]);
        }
    free(a);
    free(b);
    if (differing) {
        fprintf(stderr, "glyphar-xprobe: %ld pixels differ\n", differing);
        return 1;
    }
    return 0;
}

/* A window may vanish between the server listing it and the probe asking
 * about it (one SDL makes and drops as it starts, or the last test's demo
 * closing): that request fails, its caller sees the failure and goes on.
 * Any other error ends the probe, as Xlib's own handler would. */
static int ignore_vanished_windows(Display *d, XErrorEvent *e)
{
    (void)d;
    if (e->error_code == BadWindow || e->error_code == BadDrawable)
        return 0;
    fprintf(stderr, "glyphar-xprobe: X error %d on request %d\n", e->error_code,
            e->request_code);
    exit(1);
}

int main(int argc, char *argv[])
{
    const char *cmd = argc > 1 ? argv[1] : "";
    XSetErrorHandler(ignore_vanished_windows);
    if (strcmp(cmd, "ping") == 0 && argc == 2) {
        Display *d = XOpenDisplay(NULL);
        if (d == NULL)
            return 1;
        XCloseDisplay(d);
        return 0;
    }
    if (strcmp(cmd, "wait") == 0 && argc == 5)
        return cmd_wait(atoi(argv[2]), atoi(argv[3]), atol(argv[4]));
    if (strcmp(cmd, "capture") == 0 && argc == 4)
        return cmd_capture(parse_window(argv[2]), argv[3], 0);
    if (strcmp(cmd, "capture") == 0 && argc == 5 && strcmp(argv[4], "exact") == 0)
        return cmd_capture(parse_window(argv[2]), argv[3], 1);
    if (strcmp(cmd, "input") == 0 && argc == 3)
        return cmd_input(parse_window(argv[2]));
    if (strcmp(cmd, "close") == 0 && argc == 3)
        return cmd_close(parse_window(argv[2]));
    if (strcmp(cmd, "compare") == 0 && argc == 4)
        return cmd_compare(argv[2], argv[3]);
    fprintf(stderr, "usage: glyphar-xprobe ping | wait W H TIMEOUT_MS | capture WINDOW OUT.ppm [exact] |"
                    " input WINDOW | close WINDOW | compare A.ppm B.ppm\n");
    return 2;
}
