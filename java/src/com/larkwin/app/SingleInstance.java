package com.larkwin.app;

import com.larkwin.app.SingleInstanceException.Reason;
import java.io.ByteArrayOutputStream;
import java.io.Closeable;
import java.io.IOException;
import java.io.InputStream;
import java.net.BindException;
import java.net.InetAddress;
import java.net.InetSocketAddress;
import java.net.ServerSocket;
import java.net.Socket;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;

/**
 * The listening side of the launcher's instance command channel.
 *
 * <p>With the {@code socket} directive in its configuration, the launcher
 * passes a port to the application in the system property
 * {@code larkwin.socket}. A launcher started later with {@code +SHELL} first
 * connects to 127.0.0.1 on that port and sends, one connection per file, the
 * command {@code open} followed by a blank and the file's absolute path; only
 * when nobody listens does it start a new instance.
 *
 * <p>Typical use, early in {@code main}:
 *
 * <pre>{@code
 * try {
 *     SingleInstance.listen(path -> openDocument(path));
 * } catch (SingleInstanceException e) {
 *     System.err.println(e.getMessage());
 * }
 * }</pre>
 *
 * <p>Connections are accepted one by one on a daemon thread, so the listener
 * never keeps the application alive. Each connection is read to its end and
 * taken as one command. Commands other than {@code open} are ignored.
 *
 * <p>Any local user may connect to 127.0.0.1. Where the system tells who
 * owns a socket (Linux's {@code /proc/net/tcp}), a connection whose sending
 * socket belongs to another user is dropped unread, and so is one whose
 * sender has already closed its socket, since its owner can no longer be
 * told: a client ends its side for writing and keeps the socket until the
 * listener closes the connection, as the launcher does.
 */
public final class SingleInstance implements Closeable {
    private static final byte[] OPEN = "open ".getBytes(StandardCharsets.US_ASCII);
    // A client that stalls or floods must not hold up the instances behind it.
    private static final int READ_TIMEOUT_MILLIS = 10_000;
    private static final int MAX_COMMAND_BYTES = 1 << 20;

    private final ServerSocket server;
    private final OpenHandler handler;
    private final Charset encoding = PlatformEncoding.fileNames();
    private final long uid = SocketOwners.currentUid();
    private Thread acceptor;

    private SingleInstance(ServerSocket server, OpenHandler handler) {
        this.server = server;
        this.handler = handler;
    }

    /**
     * Listens on the port named by the system property {@code larkwin.socket}.
     *
     * @param handler receives the path of every forwarded file
     * @return the running listener
     * @throws SingleInstanceException if the property is missing or not a
     *     port number, or if the port is in use (another instance is running)
     */
    public static SingleInstance listen(OpenHandler handler) throws SingleInstanceException {
        String text = System.getProperty(Larkwin.SOCKET);
        if (text == null) {
            throw new SingleInstanceException(Reason.NO_PORT, "Not listening for other instances:"
                    + " the system property " + Larkwin.SOCKET + " is not set"
                    + " (the launcher's configuration needs a socket directive)", null);
        }
        return listen(portOf(text), handler);
    }

    /**
     * Listens on the given port of 127.0.0.1.
     *
     * @param port the port, or 0 for any free port (see {@link #port()})
     * @param handler receives the path of every forwarded file
     * @return the running listener
     * @throws SingleInstanceException if the port is in use (another instance
     *     is running) or the socket cannot be set up
     */
    public static SingleInstance listen(int port, OpenHandler handler)
            throws SingleInstanceException {
        ServerSocket server = bind(port);
        SingleInstance listener = new SingleInstance(server, handler);
        Thread thread = new Thread(listener::acceptLoop, "larkwin-single-instance");
        thread.setDaemon(true);
        listener.acceptor = thread;
        thread.start();
        return listener;
    }

    /**
     * The port this listener is bound to.
     *
     * @return the local port
     */
    public int port() {
        return server.getLocalPort();
    }

    /**
     * Stops listening and frees the port. Waits (boundedly) for the listening
     * thread to end, so that a command being read is delivered before this
     * returns; called from the handler itself, it does not wait.
     */
    @Override
    public void close() throws IOException {
        server.close();
        Thread thread = acceptor;
        if (thread != null && thread != Thread.currentThread()) {
            try {
                thread.join(READ_TIMEOUT_MILLIS + 1_000);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
            }
        }
    }

    private static ServerSocket bind(int port) throws SingleInstanceException {
        String address = "127.0.0.1:" + port;
        ServerSocket server = null;
        try {
            server = new ServerSocket();
            InetAddress loopback = InetAddress.getByAddress(new byte[] {127, 0, 0, 1});
            server.bind(new InetSocketAddress(loopback, port));
            return server;
        } catch (BindException e) {
            closeQuietly(server);
            throw new SingleInstanceException(Reason.PORT_IN_USE,
                    "Not listening for other instances: cannot bind " + address
                    + " (" + e.getMessage() + "); another instance is probably running", e);
        } catch (IOException e) {
            closeQuietly(server);
            throw new SingleInstanceException(Reason.SOCKET_FAILURE,
                    "Not listening for other instances: cannot set up " + address + ": " + e, e);
        }
    }

    /** Reads the port the way the launcher does: the leading digits count, the rest is ignored. */
    static int portOf(String text) throws SingleInstanceException {
        int digits = 0;
        while (digits < text.length() && text.charAt(digits) >= '0' && text.charAt(digits) <= '9') {
            digits++;
        }
        int port = digits == 0 || digits > 5 ? -1 : Integer.parseInt(text.substring(0, digits));
        if (port < 1 || port > 65535) {
            throw new SingleInstanceException(Reason.INVALID_PORT,
                    "Not listening for other instances: the system property " + Larkwin.SOCKET
                    + " is '" + text + "', not a port number from 1 to 65535", null);
        }
        return port;
    }

    private void acceptLoop() {
        while (!server.isClosed()) {
            Socket connection;
            try {
                connection = server.accept();
            } catch (IOException e) {
                if (!server.isClosed()) {
                    report("cannot accept a connection", e);
                    pause();
                }
                continue;
            }
            serve(connection);
        }
    }

    /**
     * Reads the command and closes the connection before delivering it: the
     * launcher keeps its end open until then, so that it can be told who sent it.
     */
    private void serve(Socket connection) {
        byte[] command;
        try (Socket c = connection) {
            if (!fromThisUser(c)) {
                return;
            }
            c.setSoTimeout(READ_TIMEOUT_MILLIS);
            command = readCommand(c.getInputStream());
        } catch (IOException e) {
            report("lost a command", e);
            return;
        }
        if (command == null) {
            report("ignored a command longer than " + MAX_COMMAND_BYTES + " bytes", null);
        } else if (startsWithOpen(command)) {
            deliver(new String(command, OPEN.length, command.length - OPEN.length, encoding));
        }
    }

    /**
     * Anybody on the machine may connect to 127.0.0.1, so a command counts
     * only when the sending socket belongs to this process's user. Where the
     * system cannot tell owners (no {@code /proc}), every connection counts,
     * as the channel cannot check more. A sender that closed its socket
     * before it was looked up cannot be told either, and is dropped.
     */
    private boolean fromThisUser(Socket connection) {
        if (uid == SocketOwners.UNKNOWN) {
            return true;
        }
        long sender;
        try {
            sender = SocketOwners.senderOf(connection);
        } catch (IOException e) {
            return true;
        }
        if (sender == uid) {
            return true;
        }
        report(sender == SocketOwners.UNKNOWN
                ? "dropped a connection whose sender cannot be told (its socket was already closed)"
                : "dropped a connection from another user (uid " + sender + ")", null);
        return false;
    }

    private void deliver(String path) {
        try {
            handler.open(path);
        } catch (RuntimeException e) {
            report("the handler failed on " + path, e);
        }
    }

    /** Reads to end of stream; null when the command exceeds the limit. */
    private static byte[] readCommand(InputStream in) throws IOException {
        ByteArrayOutputStream command = new ByteArrayOutputStream();
        byte[] chunk = new byte[8192];
        for (int n; (n = in.read(chunk)) >= 0; ) {
            if (command.size() + n > MAX_COMMAND_BYTES) {
                return null;
            }
            command.write(chunk, 0, n);
        }
        return command.toByteArray();
    }

    private static boolean startsWithOpen(byte[] command) {
        if (command.length < OPEN.length) {
            return false;
        }
        for (int i = 0; i < OPEN.length; i++) {
            if (command[i] != OPEN[i]) {
                return false;
            }
        }
        return true;
    }

    private static void report(String what, Throwable cause) {
        String because = cause == null ? "" : ": " + cause;
        System.err.println("larkwin single instance: " + what + because);
    }

    /** Keeps a persistent accept failure (such as running out of descriptors) from spinning. */
    private static void pause() {
        try {
            Thread.sleep(100);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }

    private static void closeQuietly(ServerSocket server) {
        if (server != null) {
            try {
                server.close();
            } catch (IOException ignored) {
                // Nothing more to free.
            }
        }
    }
}
