/* A file manager's side of an X drag: offers text/uri-list of the given files to the window
 * under (X, Y) through the XDND protocol (version 5) and waits for the target to finish.
 * Usage: xdnd-source X Y FILE...   Exit 0 when the target accepted and finished the drop. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>
#include <sys/time.h>

static Display* dpy;
static Window self;
static Atom aAware, aEnter, aPosition, aStatus, aDrop, aFinished, aSelection, aCopy, aUriList;

static void sendMessage(Window to, Atom type, long l0, long l1, long l2, long l3, long l4)
{
    XEvent e;
    memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.display = dpy;
    e.xclient.window = to;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    e.xclient.data.l[0] = l0;
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    e.xclient.data.l[4] = l4;
    XSendEvent(dpy, to, False, NoEventMask, &e);
    XFlush(dpy);
}

/* Waits up to ms for an event; 0 on time-out. */
static int nextEvent(XEvent* e, int ms)
{
    struct timeval end, now;
    gettimeofday(&end, NULL);
    end.tv_sec += ms / 1000;
    end.tv_usec += (ms % 1000) * 1000;
    for (;;) {
        if (XPending(dpy)) {
            XNextEvent(dpy, e);
            return 1;
        }
        gettimeofday(&now, NULL);
        long left = (end.tv_sec - now.tv_sec) * 1000 + (end.tv_usec - now.tv_usec) / 1000;
        if (left <= 0)
            return 0;
        int fd = ConnectionNumber(dpy);
        fd_set set;
        FD_ZERO(&set);
        FD_SET(fd, &set);
        struct timeval tv = {left / 1000, (left % 1000) * 1000};
        select(fd + 1, &set, NULL, NULL, &tv);
    }
}

int main(int argc, char** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: xdnd-source X Y FILE...\n");
        return 2;
    }
    int x = atoi(argv[1]), y = atoi(argv[2]);
    dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "xdnd-source: no display\n");
        return 2;
    }
    Window root = DefaultRootWindow(dpy);
    self = XCreateSimpleWindow(dpy, root, 0, 0, 1, 1, 0, 0, 0);
    aAware = XInternAtom(dpy, "XdndAware", False);
    aEnter = XInternAtom(dpy, "XdndEnter", False);
    aPosition = XInternAtom(dpy, "XdndPosition", False);
    aStatus = XInternAtom(dpy, "XdndStatus", False);
    aDrop = XInternAtom(dpy, "XdndDrop", False);
    aFinished = XInternAtom(dpy, "XdndFinished", False);
    aSelection = XInternAtom(dpy, "XdndSelection", False);
    aCopy = XInternAtom(dpy, "XdndActionCopy", False);
    aUriList = XInternAtom(dpy, "text/uri-list", False);

    /* The top-level window under the point, as the pointer would find it. */
    Window target = None, child = None;
    int tx, ty;
    XTranslateCoordinates(dpy, root, root, x, y, &tx, &ty, &target);
    (void)child;
    if (target == None) {
        fprintf(stderr, "xdnd-source: no window at %d,%d\n", x, y);
        return 1;
    }
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = NULL;
    if (XGetWindowProperty(dpy, target, aAware, 0, 1, False, XA_ATOM, &type, &format, &count, &after, &data) !=
            Success ||
        count == 0) {
        fprintf(stderr, "xdnd-source: the window takes no drops\n");
        return 1;
    }
    long version = *(Atom*)data < 5 ? (long)*(Atom*)data : 5;
    XFree(data);

    /* The pointer is where the drop happens: receivers that place drops read it. */
    XWarpPointer(dpy, None, root, 0, 0, 0, 0, x, y);
    XSetSelectionOwner(dpy, aSelection, self, CurrentTime);
    XFlush(dpy);

    char list[8192] = "";
    for (int i = 3; i < argc; ++i) {
        strncat(list, "file://", sizeof list - strlen(list) - 1);
        strncat(list, argv[i], sizeof list - strlen(list) - 1);
        strncat(list, "\r\n", sizeof list - strlen(list) - 1);
    }

    sendMessage(target, aEnter, (long)self, version << 24, (long)aUriList, 0, 0);
    sendMessage(target, aPosition, (long)self, 0, (long)x << 16 | y, CurrentTime, (long)aCopy);
    int accepted = 0, dropped = 0;
    XEvent e;
    while (nextEvent(&e, 5000)) {
        if (e.type == ClientMessage && e.xclient.message_type == aStatus) {
            accepted = e.xclient.data.l[1] & 1;
            if (!dropped) {
                if (!accepted) {
                    fprintf(stderr, "xdnd-source: the window refused the files\n");
                    return 1;
                }
                sendMessage(target, aDrop, (long)self, 0, CurrentTime, 0, 0);
                dropped = 1;
            }
        } else if (e.type == SelectionRequest) {
            XSelectionRequestEvent* r = &e.xselectionrequest;
            XEvent reply;
            memset(&reply, 0, sizeof reply);
            reply.xselection.type = SelectionNotify;
            reply.xselection.display = dpy;
            reply.xselection.requestor = r->requestor;
            reply.xselection.selection = r->selection;
            reply.xselection.target = r->target;
            reply.xselection.time = r->time;
            reply.xselection.property = None;
            if (r->target == aUriList) {
                Atom property = r->property != None ? r->property : r->target;
                XChangeProperty(dpy, r->requestor, property, aUriList, 8, PropModeReplace, (unsigned char*)list,
                                (int)strlen(list));
                reply.xselection.property = property;
            }
            XSendEvent(dpy, r->requestor, False, NoEventMask, &reply);
            XFlush(dpy);
        } else if (e.type == ClientMessage && e.xclient.message_type == aFinished) {
            return 0;
        }
    }
    fprintf(stderr, "xdnd-source: no answer from the window (accepted %d, dropped %d)\n", accepted, dropped);
    return 1;
}
