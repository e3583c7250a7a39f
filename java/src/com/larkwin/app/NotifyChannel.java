package com.larkwin.app;

import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;

/**
 * The writing end of the launcher's notification pipe: one line per message,
 * each written at once so that messages of several threads never mix. Once
 * a write fails (the launcher is gone) nothing more is tried.
 */
final class NotifyChannel {
    /** The longest status text, so that a message fits one atomic pipe write. */
    static final int LONGEST_STATUS = 1000;

    private OutputStream out;

    NotifyChannel(OutputStream out) {
        this.out = out;
    }

    /**
     * The channel that the launcher's descriptor names, or one that sends
     * nothing when there is none or it cannot be opened.
     */
    static NotifyChannel forDescriptor(String descriptor) {
        if (descriptor == null || !descriptor.matches("[0-9]{1,9}")) {
            return new NotifyChannel(null);
        }
        try {
            return new NotifyChannel(new FileOutputStream("/proc/self/fd/" + descriptor));
        } catch (IOException | SecurityException e) {
            return new NotifyChannel(null);
        }
    }

    static String oneLine(String text) {
        String line = String.valueOf(text).replace('\r', ' ').replace('\n', ' ');
        return line.length() > LONGEST_STATUS ? line.substring(0, LONGEST_STATUS) : line;
    }

    synchronized boolean send(String message) {
        if (out == null) {
            return false;
        }
        try {
            out.write((message + "\n").getBytes(StandardCharsets.UTF_8));
            out.flush();
            return true;
        } catch (IOException e) {
            closeQuietly();
            return false;
        }
    }

    private void closeQuietly() {
        try {
            out.close();
        } catch (IOException e) {
            // Nothing more will be written either way.
        }
        out = null;
    }
}
