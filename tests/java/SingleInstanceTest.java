package com.larkwin.tests;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assertions.fail;

import com.larkwin.app.Larkwin;
import com.larkwin.app.SingleInstance;
import com.larkwin.app.SingleInstanceException;
import com.larkwin.app.SingleInstanceException.Reason;
import java.io.OutputStream;
import java.net.ConnectException;
import java.net.InetAddress;
import java.net.InetSocketAddress;
import java.net.ServerSocket;
import java.net.Socket;
import java.nio.charset.StandardCharsets;
import java.util.concurrent.BlockingQueue;
import java.util.concurrent.LinkedBlockingQueue;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.ValueSource;

/** Sends commands the way the launcher does: one connection each, the bytes and nothing else. */
class SingleInstanceTest {
    private static final InetAddress LOOPBACK = InetAddress.getLoopbackAddress();
    // Generous: a bound for a broken listener, not a speed goal.
    private static final long WAIT_SECONDS = 30;

    @Test
    void forwardedPathsArriveExactlyAndInOrder() throws Exception {
        BlockingQueue<String> opened = new LinkedBlockingQueue<>();
        System.setProperty(Larkwin.SOCKET, Integer.toString(freePort()));
        try (SingleInstance listener = SingleInstance.listen(opened::add)) {
            String first = "/tmp/a dir/first file.txt ";
            String second = "/tmp/\u00e9t\u00e9/second";
            send(listener.port(), "open " + first);
            send(listener.port(), "ping");
            send(listener.port(), "");
            sendInTwoWrites(listener.port(), "open ", second);
            // The tests run with LC_ALL=C.UTF-8, so the launcher would send UTF-8.
            assertEquals(first, opened.poll(WAIT_SECONDS, TimeUnit.SECONDS),
                    "the first path, blank kept");
            assertEquals(second, opened.poll(WAIT_SECONDS, TimeUnit.SECONDS),
                    "the second path, decoded");
            // Connections are served in order, so the others were already seen.
            assertTrue(opened.isEmpty(), "commands other than open are ignored: " + opened);
        }
    }

    @Test
    void aFailingHandlerDoesNotStopTheListener() throws Exception {
        BlockingQueue<String> opened = new LinkedBlockingQueue<>();
        try (SingleInstance listener = SingleInstance.listen(0, path -> {
            opened.add(path);
            if (path.equals("/bad")) {
                throw new IllegalStateException("expected by the test");
            }
        })) {
            send(listener.port(), "open /bad");
            send(listener.port(), "open /good");
            assertEquals("/bad", opened.poll(WAIT_SECONDS, TimeUnit.SECONDS), "the failing call");
            assertEquals("/good", opened.poll(WAIT_SECONDS, TimeUnit.SECONDS), "the call after it");
        }
    }

    @Test
    void aPortInUseIsReported() throws Exception {
        try (ServerSocket otherInstance = new ServerSocket(0, 50, LOOPBACK)) {
            int port = otherInstance.getLocalPort();
            System.setProperty(Larkwin.SOCKET, Integer.toString(port));
            SingleInstanceException e = assertThrows(SingleInstanceException.class,
                    () -> SingleInstance.listen(path -> {}), "listening on a port in use");
            assertEquals(Reason.PORT_IN_USE, e.reason(), "reason");
            assertTrue(e.getMessage().contains("127.0.0.1:" + port)
                            && e.getMessage().contains("another instance"),
                    "the message names the port and the likely cause: " + e.getMessage());
        }
    }

    @Test
    void aMissingPropertyIsReported() {
        System.clearProperty(Larkwin.SOCKET);
        SingleInstanceException e = assertThrows(SingleInstanceException.class,
                () -> SingleInstance.listen(path -> {}), "listening without the property");
        assertEquals(Reason.NO_PORT, e.reason(), "reason");
        assertTrue(e.getMessage().contains(Larkwin.SOCKET),
                "the message names the property: " + e.getMessage());
    }

    @ParameterizedTest
    @ValueSource(strings = {"", "abc", "0", "65536", "-1"})
    void anInvalidPortIsReported(String text) {
        System.setProperty(Larkwin.SOCKET, text);
        SingleInstanceException e = assertThrows(SingleInstanceException.class,
                () -> SingleInstance.listen(path -> {}), "the port '" + text + "'");
        assertEquals(Reason.INVALID_PORT, e.reason(), "reason for '" + text + "'");
        assertTrue(e.getMessage().contains("'" + text + "'"),
                "the message quotes the value: " + e.getMessage());
    }

    @Test
    void closingFreesThePort() throws Exception {
        int port;
        try (SingleInstance first = SingleInstance.listen(0, path -> {})) {
            port = first.port();
        }
        // Re-binding the port here would race with any other process that
        // takes an ephemeral port meanwhile; a refused connection cannot.
        try (Socket probe = new Socket()) {
            probe.connect(new InetSocketAddress(LOOPBACK, port), 5_000);
            fail("the closed listener still accepts on port " + port);
        } catch (ConnectException expected) {
            // nothing listens any more
        }
    }

    private static int freePort() throws Exception {
        try (ServerSocket probe = new ServerSocket(0, 50, LOOPBACK)) {
            return probe.getLocalPort();
        }
    }

    private static void send(int port, String command) throws Exception {
        sendInTwoWrites(port, command, "");
    }

    private static void sendInTwoWrites(int port, String head, String tail) throws Exception {
        try (Socket socket = new Socket(LOOPBACK, port)) {
            OutputStream out = socket.getOutputStream();
            out.write(head.getBytes(StandardCharsets.UTF_8));
            out.flush();
            out.write(tail.getBytes(StandardCharsets.UTF_8));
            // As the launcher does: the socket stays until the listener has
            // closed, so that the listener can tell who sent the command.
            socket.shutdownOutput();
            socket.setSoTimeout((int) TimeUnit.SECONDS.toMillis(WAIT_SECONDS));
            while (socket.getInputStream().read() >= 0) {
                // nothing is sent back
            }
        }
    }
}
