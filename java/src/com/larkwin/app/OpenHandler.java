package com.larkwin.app;

/**
 * Receives the files that later launchers forward to the running instance.
 *
 * @see SingleInstance
 */
@FunctionalInterface
public interface OpenHandler {
    /**
     * Called for every file forwarded by a launcher started with
     * {@code +SHELL}, one call at a time, on the listener's own thread (a GUI
     * application hands the work over to its event thread).
     *
     * @param path the file's absolute path, as the launcher wrote it (it is
     *     not resolved further and need not exist), or a URL such as
     *     {@code myapp://open?id=3} exactly as it was given
     */
    void open(String path);
}
