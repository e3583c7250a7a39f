package com.larkwin.app;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.IOException;
import java.net.InetAddress;
import java.nio.ByteOrder;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import org.junit.jupiter.api.BeforeEach;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * Which line of the kernel's TCP tables names the sender, read from tables
 * written here: a connection from 127.0.0.1:40000 (9C40) to 127.0.0.1:8080
 * (1F90). The tables print each 32-bit word of an address in the machine's
 * byte order; these are written for little-endian machines.
 */
class SocketOwnersTest {
    private static final String HEADER = "  sl  local_address rem_address   st tx_queue rx_queue tr"
            + " tm->when retrnsmt   uid  timeout inode\n";
    private static final String SENDER = "0100007F:9C40";
    private static final String RECEIVER = "0100007F:1F90";
    private static final String MAPPED_SENDER = "0000000000000000FFFF00000100007F:9C40";
    private static final String MAPPED_RECEIVER = "0000000000000000FFFF00000100007F:1F90";

    @TempDir Path dir;
    private InetAddress loopback;

    @BeforeEach
    void littleEndian() throws IOException {
        assumeTrue(ByteOrder.nativeOrder() == ByteOrder.LITTLE_ENDIAN, "tables for little-endian");
        loopback = InetAddress.getByName("127.0.0.1");
    }

    private static String line(String local, String remote, String state, long uid, long inode) {
        return String.format("   0: %s %s %s 00000000:00000000 00:00000000 00000000 %5d        0"
                + " %d 1 0000000000000000 20 4 30 10 -1\n", local, remote, state, uid, inode);
    }

    private String table(String name, String... lines) throws IOException {
        Path table = dir.resolve(name);
        Files.write(table, (HEADER + String.join("", lines)).getBytes(StandardCharsets.US_ASCII));
        return table.toString();
    }

    private long owner(String... tables) throws IOException {
        return SocketOwners.senderOf(loopback, 40000, loopback, 8080, tables);
    }

    @Test
    void theSendersOwnLineGivesItsUidAndTheReceiversLineDoesNot() throws IOException {
        // The receiver's end of the same connection, then a listener, then the sender.
        String tcp = table("tcp", line(RECEIVER, SENDER, "01", 1000, 11),
                line("0100007F:1F90", "00000000:0000", "0A", 1000, 12),
                line(SENDER, RECEIVER, "01", 4321, 13));
        assertEquals(4321, owner(tcp));
    }

    @Test
    void aSocketNoProcessHoldsAnyMoreHasNoOwner() throws IOException {
        // Closed by its sender: inode 0, uid 0 left behind.
        assertEquals(SocketOwners.UNKNOWN, owner(table("tcp", line(SENDER, RECEIVER, "06", 0, 0))));
    }

    @Test
    void theSendersPortToAnotherReceiverIsNotTheSender() throws IOException {
        String tcp = table("tcp", line(SENDER, "0100007F:1F91", "01", 4321, 13));
        assertEquals(SocketOwners.UNKNOWN, owner(tcp));
    }

    @Test
    void anIpv6SocketShowsTheSenderInItsMappedFormAndLowerCaseIsRead() throws IOException {
        String tcp = table("tcp");
        String tcp6 = table("tcp6", line(MAPPED_SENDER.toLowerCase(), MAPPED_RECEIVER.toLowerCase(),
                "01", 777, 21));
        assertEquals(777, owner(tcp, tcp6));
    }

    @Test
    void oneUnreadableTableIsPassedOverButTwoAreAnError() throws IOException {
        String missing = dir.resolve("missing").toString();
        String tcp6 = table("tcp6", line(MAPPED_SENDER, MAPPED_RECEIVER, "01", 55, 21));
        assertEquals(55, owner(missing, tcp6));
        assertThrows(IOException.class, () -> owner(missing, dir.resolve("gone").toString()));
    }

    @Test
    void aLineCutShortOrWithAUidThatIsNoNumberGivesNoOwner() throws IOException {
        String cut = "   0: " + SENDER + " " + RECEIVER + " 01 00000000:00000000\n";
        String odd = line(SENDER, RECEIVER, "01", 1, 13).replace("    1 ", " x1 ");
        assertEquals(SocketOwners.UNKNOWN, owner(table("tcp", cut, odd)));
    }
}
