/* What one poll of an idle X connection costs (XCheckIfEvent, as Wine's X11
 * driver polls before each wait) in the two states an idle connection can be
 * in: a round trip was its last exchange, or an event after a later request
 * was. libX11 keeps a request whose reply it has read among its pending ones
 * until a packet with a later sequence number arrives, and each poll then
 * reads the socket once more.
 *
 *   cc -O2 bench/x11_poll_cost.c -lX11 -o /tmp/x11_poll_cost   (libx11-dev)
 *   DISPLAY=:N /tmp/x11_poll_cost
 */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <time.h>

enum { kPolls = 200000 };

static Bool NoEvent(Display* display, XEvent* event, XPointer arg) {
  (void)display, (void)event, (void)arg;
  return False;
}

static double NsAPoll(Display* display) {
  struct timespec t0, t1;
  XEvent event;
  clock_gettime(CLOCK_MONOTONIC, &t0);
  for (int i = 0; i < kPolls; ++i) XCheckIfEvent(display, &event, NoEvent, NULL);
  clock_gettime(CLOCK_MONOTONIC, &t1);
  return ((t1.tv_sec - t0.tv_sec) * 1e9 + (t1.tv_nsec - t0.tv_nsec)) / kPolls;
}

int main(void) {
  Display* display = XOpenDisplay(NULL);
  if (display == NULL) {
    fprintf(stderr, "no X display\n");
    return 1;
  }
  Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
  XSelectInput(display, window, PropertyChangeMask);
  Atom atom = XInternAtom(display, "NP_POLL_COST", False);
  for (long round = 0; round < 3; ++round) {
    XSync(display, False);
    double after_reply = NsAPoll(display);
    XChangeProperty(display, window, atom, XA_CARDINAL, 32, PropModeReplace, (unsigned char*)&round, 1);
    XEvent event;
    XNextEvent(display, &event); /* its PropertyNotify: the sync's request is known complete */
    double after_event = NsAPoll(display);
    printf("ns a poll: a round trip last %.0f, an event after a later request last %.0f\n", after_reply, after_event);
  }
  XCloseDisplay(display);
  return 0;
}
