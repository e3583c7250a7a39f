package com.larkwin.app;

import java.io.BufferedReader;
import java.io.IOException;
import java.net.InetAddress;
import java.net.Socket;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.Locale;

/**
 * Who owns the sending end of a connection on this machine, from Linux's
 * tables of TCP sockets ({@code /proc/net/tcp} and {@code /proc/net/tcp6}).
 * The tables give the owner only while a process holds the socket: once the
 * sender has closed it, what is left of it shows no owner.
 */
final class SocketOwners {
    /** An owner that cannot be told. */
    static final long UNKNOWN = -1;

    private static final String[] TABLES = {"/proc/net/tcp", "/proc/net/tcp6"};
    private static final byte[] MAPPED_PREFIX = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1, -1};

    private SocketOwners() {}

    /**
     * The effective uid of this process.
     *
     * @return the uid, or {@link #UNKNOWN} where {@code /proc} cannot tell it
     */
    static long currentUid() {
        try (BufferedReader in = Files.newBufferedReader(Paths.get("/proc/self/status"),
                StandardCharsets.US_ASCII)) {
            for (String line; (line = in.readLine()) != null; ) {
                if (line.startsWith("Uid:")) {
                    return Long.parseLong(line.substring(4).trim().split("\\s+")[1]);
                }
            }
        } catch (IOException | RuntimeException e) {
            // No /proc: nothing can be told.
        }
        return UNKNOWN;
    }

    /**
     * The owner of the socket at the other end of a connection accepted here.
     *
     * @param connection an accepted connection
     * @return the owner's uid, or {@link #UNKNOWN} when no process holds that
     *     socket any more (or it was never in the tables)
     * @throws IOException when neither table can be read
     */
    static long senderOf(Socket connection) throws IOException {
        return senderOf(connection.getInetAddress(), connection.getPort(),
                connection.getLocalAddress(), connection.getLocalPort(), TABLES);
    }

    /**
     * The owner of the socket at {@code from} connected to {@code to}, as
     * the tables given tell it.
     */
    static long senderOf(InetAddress from, int fromPort, InetAddress to, int toPort,
            String... tables) throws IOException {
        String sender = endOf(from, fromPort);
        String receiver = endOf(to, toPort);
        String mappedSender = mappedEndOf(from, fromPort);
        String mappedReceiver = mappedEndOf(to, toPort);
        int unreadable = 0;
        for (String table : tables) {
            try (BufferedReader in = Files.newBufferedReader(Paths.get(table),
                    StandardCharsets.US_ASCII)) {
                for (String line; (line = in.readLine()) != null; ) {
                    // Most lines are other sockets: split only the likely ones.
                    String upper = line.toUpperCase(Locale.ROOT);
                    if (!upper.contains(sender) && !upper.contains(mappedSender)) {
                        continue;
                    }
                    long owner = ownerIn(upper.trim().split("\\s+"), sender, receiver,
                            mappedSender, mappedReceiver);
                    if (owner != UNKNOWN) {
                        return owner;
                    }
                }
            } catch (IOException e) {
                unreadable++;
            }
        }
        if (unreadable == tables.length) {
            throw new IOException("no table of TCP sockets can be read");
        }
        return UNKNOWN;
    }

    /** The owner on a line whose local end is the sender's and remote end ours, held by a process. */
    private static long ownerIn(String[] fields, String sender, String receiver,
            String mappedSender, String mappedReceiver) {
        if (fields.length < 10 || fields[9].equals("0")) {
            return UNKNOWN;
        }
        String local = fields[1];
        String remote = fields[2];
        boolean matches = local.equals(sender) && remote.equals(receiver)
                || local.equals(mappedSender) && remote.equals(mappedReceiver);
        try {
            return matches ? Long.parseLong(fields[7]) : UNKNOWN;
        } catch (NumberFormatException e) {
            return UNKNOWN;
        }
    }

    /** An address and port as the tables print them: each 32-bit word in memory order. */
    private static String endOf(InetAddress address, int port) {
        return hex(address.getAddress()) + String.format(Locale.ROOT, ":%04X", port);
    }

    /** The same for an IPv4 address in its IPv6 form, as an IPv6 socket's end shows it. */
    private static String mappedEndOf(InetAddress address, int port) {
        byte[] bytes = address.getAddress();
        if (bytes.length != 4) {
            return endOf(address, port);
        }
        byte[] mapped = new byte[16];
        System.arraycopy(MAPPED_PREFIX, 0, mapped, 0, MAPPED_PREFIX.length);
        System.arraycopy(bytes, 0, mapped, 12, 4);
        return hex(mapped) + String.format(Locale.ROOT, ":%04X", port);
    }

    private static String hex(byte[] bytes) {
        boolean little = ByteOrder.nativeOrder() == ByteOrder.LITTLE_ENDIAN;
        StringBuilder text = new StringBuilder();
        for (int word = 0; word < bytes.length; word += 4) {
            for (int i = 0; i < 4; i++) {
                int b = bytes[word + (little ? 3 - i : i)] & 0xFF;
                text.append(String.format(Locale.ROOT, "%02X", b));
            }
        }
        return text.toString();
    }
}
