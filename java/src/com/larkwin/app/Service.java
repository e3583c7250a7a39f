package com.larkwin.app;

/**
 * Tells the service manager (systemd) how the application is doing, through
 * the launcher, which is the service's main process.
 *
 * <p>Each call is a no-op, answering {@code false}, unless the launcher was
 * started by systemd with {@code NOTIFY_SOCKET} set: then it passes on
 * {@code READY=1}, {@code STATUS=...}, {@code STOPPING=1} and, when the unit
 * has a watchdog, {@code WATCHDOG=1}. The calls never throw and never block
 * for long; they may be made from any thread.
 */
public final class Service {
    /** The property naming the launcher's channel (a file descriptor). */
    public static final String NOTIFY_FD = "larkwin.notify.fd";

    private static final NotifyChannel CHANNEL =
            NotifyChannel.forDescriptor(System.getProperty(NOTIFY_FD));

    private Service() {}

    /**
     * Says that the application has started and serves: systemd then counts
     * a {@code Type=notify} service as started. Say it again after each
     * restart of the application.
     *
     * @return true when the launcher got the message
     */
    public static boolean ready() {
        return CHANNEL.send("ready");
    }

    /**
     * Sets the one line that {@code systemctl status} shows for the service.
     *
     * @param text the status; line ends become blanks, and it is cut to
     *     1000 characters
     * @return true when the launcher got the message
     */
    public static boolean status(String text) {
        return CHANNEL.send("status " + NotifyChannel.oneLine(text));
    }

    /**
     * Says that the application is stopping of its own accord.
     *
     * @return true when the launcher got the message
     */
    public static boolean stopping() {
        return CHANNEL.send("stopping");
    }

    /**
     * Says that the application is still working. With {@code WatchdogSec=}
     * in the unit, systemd restarts the service when this is not said for
     * that long; call it from the work that must not hang, more often than
     * that (the environment variable {@code WATCHDOG_USEC} holds the time in
     * microseconds). The launcher never says it on the application's behalf.
     *
     * @return true when the launcher got the message
     */
    public static boolean alive() {
        return CHANNEL.send("alive");
    }
}
