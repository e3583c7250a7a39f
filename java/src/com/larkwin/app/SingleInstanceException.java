package com.larkwin.app;

import java.io.IOException;

/** Thrown when this instance cannot take the single-instance port. */
public class SingleInstanceException extends IOException {
    private static final long serialVersionUID = 1L;

    /** Why listening failed. */
    public enum Reason {
        /** The system property {@code larkwin.socket} is not set. */
        NO_PORT,
        /** The property does not start with a port number from 1 to 65535. */
        INVALID_PORT,
        /** The port cannot be bound on 127.0.0.1, normally because another instance holds it. */
        PORT_IN_USE,
        /** The socket could not be created or set up. */
        SOCKET_FAILURE
    }

    private final Reason reason;

    /**
     * Creates the exception.
     *
     * @param reason why listening failed
     * @param message the explanation for the user
     * @param cause the underlying failure, or null
     */
    public SingleInstanceException(Reason reason, String message, Throwable cause) {
        super(message, cause);
        this.reason = reason;
    }

    /**
     * Tells why listening failed.
     *
     * @return the reason
     */
    public Reason reason() {
        return reason;
    }
}
