package com.larkwin.app;

import java.io.IOException;

/** Thrown when an environment dump does not have the launcher's format. */
public class EnvironmentDumpException extends IOException {
    private static final long serialVersionUID = 1L;

    /**
     * Creates the exception.
     *
     * @param message where the dump is malformed and how
     */
    public EnvironmentDumpException(String message) {
        super(message);
    }
}
