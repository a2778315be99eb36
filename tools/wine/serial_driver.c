/* A serial driver as Windows may have one, for the station under Wine: loaded into the
 * station's process with LD_PRELOAD, it makes COM1's pty behave the way Wine never does.
 *
 *   VORKEL_SERIAL_DRIVER=flush-blocks  flushing (FlushFileBuffers, Wine's tcdrain) waits for
 *                                      as long as the device does not take the bytes: here,
 *                                      for good, as a USB-serial adapter whose device hangs
 *   VORKEL_SERIAL_DRIVER=flush-fails   a driver that does not implement flushing: it fails
 *   VORKEL_SERIAL_DRIVER=queue-stuck   bytes never leave: the output queue (ClearCommError's
 *                                      cbOutQue, Wine's TIOCOUTQ) never empties, and flushing
 *                                      waits for good
 *
 * Only terminals are touched (COM1 is the station's only one); every other call goes to the C
 * library as it is. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

/* What a stuck queue reports: one point command. */
#define STUCK_BYTES 9

static int driver_is(const char *mode) {
    const char *driver = getenv("VORKEL_SERIAL_DRIVER");
    return driver != NULL && strcmp(driver, mode) == 0;
}

static void wait_for_good(void) {
    for (;;) {
        pause();
    }
}

int tcdrain(int fd) {
    if (isatty(fd)) {
        if (driver_is("flush-blocks") || driver_is("queue-stuck")) {
            wait_for_good();
        }
        if (driver_is("flush-fails")) {
            errno = EINVAL;
            return -1;
        }
    }
    int (*next)(int) = (int (*)(int))dlsym(RTLD_NEXT, "tcdrain");
    return next(fd);
}

int ioctl(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);
    if (request == TIOCOUTQ && driver_is("queue-stuck") && isatty(fd)) {
        *(int *)argument = STUCK_BYTES;
        return 0;
    }
    int (*next)(int, unsigned long, ...) =
        (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    return next(fd, request, argument);
}
