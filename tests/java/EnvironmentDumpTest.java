package com.larkwin.tests;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import com.larkwin.app.EnvironmentDump;
import com.larkwin.app.EnvironmentDumpException;
import com.larkwin.app.Larkwin;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.Map;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.MethodSource;

/** Reads dump files written byte for byte in the launcher's format. */
class EnvironmentDumpTest {
    private static final Charset UTF8 = StandardCharsets.UTF_8;

    @TempDir Path scratch;

    private Map<String, String> readDump(String content, Charset encoding)
            throws Exception {
        Path file = Files.createTempFile(scratch, "larkwin-envdump-", "");
        Files.write(file, content.getBytes(StandardCharsets.ISO_8859_1));
        return EnvironmentDump.read(file, encoding);
    }

    @Test
    void escapesAreUndoneByteForByte() throws Exception {
        Map<String, String> env = readDump(
                "BACKSLASH=x\\\\y\n"
                        + "LINES=one\\u000atwo\\u000d\\u0009\n"
                        + "UTF8=caf\\u00c3\\u00a9 \\u00e2\\u0082\\u00ac\n"
                        + "\\u00c3\\u00a9T\\u00c3\\u00a9=summer\n"
                        + "NOT_AN_ESCAPE=\\\\u0041\n",
                UTF8);
        assertEquals("x\\y", env.get("BACKSLASH"), "a doubled backslash");
        assertEquals("one\ntwo\r\t", env.get("LINES"), "control bytes");
        assertEquals("caf\u00e9 \u20ac", env.get("UTF8"), "UTF-8 bytes above 0x7F");
        assertEquals("summer", env.get("\u00e9T\u00e9"), "an escaped name");
        assertEquals("\\u0041", env.get("NOT_AN_ESCAPE"), "an escaped backslash before u0041");

        Map<String, String> latin1 = readDump("UTF8=caf\\u00c3\\u00a9\n",
                StandardCharsets.ISO_8859_1);
        assertEquals("caf\u00c3\u00a9", latin1.get("UTF8"), "bytes decoded in the given encoding");
    }

    @Test
    void onlyTheFirstUnescapedEqualsSeparates() throws Exception {
        Map<String, String> env = readDump(
                "EQUALS=a=b==\nEMPTY=\nONLY_EQUALS==\nX\\u003dY=v\n=nameless\n", UTF8);
        assertEquals("a=b==", env.get("EQUALS"), "'=' in a value");
        assertEquals("", env.get("EMPTY"), "an empty value");
        assertEquals("=", env.get("ONLY_EQUALS"), "a value of one '='");
        assertEquals("v", env.get("X=Y"), "an escaped '=' stays in the name");
        assertEquals("nameless", env.get(""), "an empty name");
    }

    @Test
    void blanksColonsAndHashesAreOrdinaryText() throws Exception {
        Map<String, String> env = readDump(
                "  LEADING =  blanks \n#HASH=1\n:COLON=2\n!BANG=3\nA:B=c:d\n", UTF8);
        assertEquals("  blanks ", env.get("  LEADING "), "blanks around name and value");
        assertEquals("1", env.get("#HASH"), "a line starting with '#'");
        assertEquals("2", env.get(":COLON"), "a line starting with ':'");
        assertEquals("3", env.get("!BANG"), "a line starting with '!'");
        assertEquals("c:d", env.get("A:B"), "':' in name and value");
        assertEquals(5, env.size(), "variable count");
    }

    @Test
    void variablesKeepTheOrderOfTheFile() throws Exception {
        Map<String, String> env = readDump("Z=1\nA=2\nM=3\nA=2\nLAST=no line feed", UTF8);
        assertEquals(Arrays.asList("Z", "A", "M", "LAST"), Arrays.asList(env.keySet().toArray()),
                "names in file order, a repeated name once");
        assertEquals("no line feed", env.get("LAST"), "a last line without line feed");
    }

    @Test
    void anEmptyFileHasNoVariables() throws Exception {
        assertTrue(readDump("", UTF8).isEmpty(), "an empty file gives no variables");
    }

    /** Each malformed dump, the line its message names, and what is wrong with it. */
    static Stream<Arguments> malformedDumps() {
        return Stream.of(
                Arguments.of("A=1\nNO_EQUALS\n", "line 2", "a line without '='"),
                Arguments.of("A=\\x\n", "line 1", "an unknown escape"),
                Arguments.of("A=1\nB=\\u00e\n", "line 2", "a cut escape"),
                Arguments.of("A=\\u0100\n", "line 1", "an escape above one byte"),
                Arguments.of("A=1\n\nB=2\n", "line 2", "an empty line"),
                Arguments.of("A=x\\", "line 1", "a lone backslash at the end"));
    }

    @ParameterizedTest(name = "{2}")
    @MethodSource("malformedDumps")
    void malformedLinesAreReportedWithTheirNumber(String dump, String line, String what) {
        EnvironmentDumpException e = assertThrows(EnvironmentDumpException.class,
                () -> EnvironmentDump.parse(dump.getBytes(StandardCharsets.US_ASCII), UTF8), what);
        assertTrue(e.getMessage().contains(line), what + " names " + line + ": " + e.getMessage());
    }

    @Test
    void theLauncherPropertiesAreRead() throws Exception {
        System.clearProperty(Larkwin.EXPORTENV);
        assertFalse(Larkwin.exportedEnvironment().isPresent(), "no dump without the property");

        Path file = Files.createTempFile(scratch, "larkwin-envdump-", "");
        Files.write(file, "HOME=/home/\\u00c3\\u00a9\n".getBytes(StandardCharsets.US_ASCII));
        System.setProperty(Larkwin.EXPORTENV, file.toString());
        // The tests run with LC_ALL=C.UTF-8: the platform encoding is UTF-8.
        assertEquals("/home/\u00e9", Larkwin.exportedEnvironment().get().get("HOME"),
                "the dump named by " + Larkwin.EXPORTENV + ", in the platform encoding");

        System.setProperty(Larkwin.COPYENV_PREFIX + "USER", "ann");
        assertEquals("ann", Larkwin.copiedVariable("USER").orElse(null), "a copied variable");
        assertFalse(Larkwin.copiedVariable("NOT_COPIED").isPresent(),
                "a variable not copied");
        System.setProperty(Larkwin.EXECUTABLE_PATH, "/opt/app/bin/app");
        assertEquals("/opt/app/bin/app", Larkwin.executablePath().orElse(null),
                "the launcher's path");
    }
}
