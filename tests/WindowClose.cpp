// A window manager's close request (WM_DELETE_WINDOW), sent from a child
// process so that the X library's process-wide state never meets the leak
// checker of the test.
#include <X11/Xlib.h>

#include <sys/wait.h>
#include <unistd.h>

#include <string>

bool SendCloseRequest(const std::string& display, unsigned long window) {
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        Display* connection = XOpenDisplay(display.c_str());
        if (!connection) _exit(1);
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = Window(window);
        event.xclient.message_type = XInternAtom(connection, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = long(XInternAtom(connection, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        const Status sent = XSendEvent(connection, Window(window), False, NoEventMask, &event);
        XSync(connection, False);
        _exit(sent ? 0 : 1);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
