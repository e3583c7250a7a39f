package com.larkwin.app;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.DirectoryStream;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.Arrays;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * The application's end of the launcher's notification channel. In this
 * package, since the channel is not part of the public API.
 */
class NotifyChannelTest {
    @TempDir Path scratch;

    /** The number of a descriptor of this process open on file. */
    private static String descriptorOf(Path file) throws IOException {
        try (DirectoryStream<Path> open = Files.newDirectoryStream(Paths.get("/proc/self/fd"))) {
            for (Path descriptor : open) {
                try {
                    if (Files.readSymbolicLink(descriptor).equals(file)) {
                        return descriptor.getFileName().toString();
                    }
                } catch (IOException e) {
                    // Closed meanwhile (the stream's own descriptor).
                }
            }
        }
        throw new IOException("no descriptor is open on " + file);
    }

    @Test
    void linesReachTheDescriptorTheLauncherNames() throws IOException {
        Path file = scratch.toRealPath().resolve("channel");
        Files.createFile(file);
        try (FileOutputStream launchersEnd = new FileOutputStream(file.toFile())) {
            assertTrue(launchersEnd.getFD().valid());
            NotifyChannel channel = NotifyChannel.forDescriptor(descriptorOf(file));
            assertTrue(channel.send("ready"));
            assertTrue(channel.send("status " + NotifyChannel.oneLine("one\ntwo\rthree")));
            assertTrue(channel.send("alive"));
        }
        assertEquals(Arrays.asList("ready", "status one two three", "alive"),
                Files.readAllLines(file, StandardCharsets.UTF_8));
    }

    @Test
    void withoutAUsableDescriptorNothingIsSent() {
        for (String descriptor : new String[] {null, "", "abc", "-1", "3 ", "1234567890", "999999"}) {
            assertFalse(NotifyChannel.forDescriptor(descriptor).send("ready"),
                    "descriptor " + descriptor);
        }
    }

    @Test
    void aFailedWriteEndsTheChannelQuietly() {
        int[] writes = {0};
        OutputStream broken = new OutputStream() {
            @Override
            public void write(int b) throws IOException {
                writes[0]++;
                throw new IOException("Broken pipe");
            }
        };
        NotifyChannel channel = new NotifyChannel(broken);
        assertFalse(channel.send("ready"));
        assertFalse(channel.send("alive"));
        assertEquals(1, writes[0], "nothing is tried after the first failure");
    }

    @Test
    void aStatusIsOneLineOfBoundedLength() {
        char[] longText = new char[NotifyChannel.LONGEST_STATUS + 10];
        Arrays.fill(longText, '\u20ac');
        String line = NotifyChannel.oneLine(new String(longText));
        assertEquals(NotifyChannel.LONGEST_STATUS, line.length());
        // One atomic pipe write holds the whole message.
        assertTrue(("status " + line + "\n").getBytes(StandardCharsets.UTF_8).length <= 4096);
        assertEquals("null", NotifyChannel.oneLine(null));
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        assertTrue(new NotifyChannel(out).send("status " + NotifyChannel.oneLine("a\r\nb")));
        assertEquals("status a  b\n", new String(out.toByteArray(), StandardCharsets.UTF_8));
    }
}
