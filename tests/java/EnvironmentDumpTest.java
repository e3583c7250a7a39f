package com.larkwin.tests;

import com.larkwin.app.EnvironmentDump;
import com.larkwin.app.EnvironmentDumpException;
import com.larkwin.app.Larkwin;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.Map;

/** Reads dump files written byte for byte in the launcher's format. */
public final class EnvironmentDumpTest {
    private static final Charset UTF8 = StandardCharsets.UTF_8;

    private EnvironmentDumpTest() {}

    public static void main(String[] args) throws Exception {
        Path scratch = Files.createTempDirectory("larkwin-dump-test");
        try {
            Check.run("escapes", () -> escapesAreUndoneByteForByte(scratch));
            Check.run("separator", () -> onlyTheFirstUnescapedEqualsSeparates(scratch));
            Check.run("properties syntax", () -> blanksColonsAndHashesAreOrdinaryText(scratch));
            Check.run("order", () -> variablesKeepTheOrderOfTheFile(scratch));
            Check.run("empty", () -> anEmptyFileHasNoVariables(scratch));
            Check.run("malformed", EnvironmentDumpTest::malformedLinesAreReportedWithTheirNumber);
            Check.run("properties", () -> theLauncherPropertiesAreRead(scratch));
        } finally {
            for (Path file : Files.newDirectoryStream(scratch)) {
                Files.delete(file);
            }
            Files.delete(scratch);
        }
        Check.exit();
    }

    private static Map<String, String> readDump(Path scratch, String content, Charset encoding)
            throws Exception {
        Path file = Files.createTempFile(scratch, "larkwin-envdump-", "");
        Files.write(file, content.getBytes(StandardCharsets.ISO_8859_1));
        return EnvironmentDump.read(file, encoding);
    }

    private static void escapesAreUndoneByteForByte(Path scratch) throws Exception {
        Map<String, String> env = readDump(scratch,
                "BACKSLASH=x\\\\y\n"
                        + "LINES=one\\u000atwo\\u000d\\u0009\n"
                        + "UTF8=caf\\u00c3\\u00a9 \\u00e2\\u0082\\u00ac\n"
                        + "\\u00c3\\u00a9T\\u00c3\\u00a9=summer\n"
                        + "NOT_AN_ESCAPE=\\\\u0041\n",
                UTF8);
        Check.equal("x\\y", env.get("BACKSLASH"), "a doubled backslash");
        Check.equal("one\ntwo\r\t", env.get("LINES"), "control bytes");
        Check.equal("caf\u00e9 \u20ac", env.get("UTF8"), "UTF-8 bytes above 0x7F");
        Check.equal("summer", env.get("\u00e9T\u00e9"), "an escaped name");
        Check.equal("\\u0041", env.get("NOT_AN_ESCAPE"), "an escaped backslash before u0041");

        Map<String, String> latin1 = readDump(scratch, "UTF8=caf\\u00c3\\u00a9\n",
                StandardCharsets.ISO_8859_1);
        Check.equal("caf\u00c3\u00a9", latin1.get("UTF8"), "bytes decoded in the given encoding");
    }

    private static void onlyTheFirstUnescapedEqualsSeparates(Path scratch) throws Exception {
        Map<String, String> env = readDump(scratch,
                "EQUALS=a=b==\nEMPTY=\nONLY_EQUALS==\nX\\u003dY=v\n=nameless\n", UTF8);
        Check.equal("a=b==", env.get("EQUALS"), "'=' in a value");
        Check.equal("", env.get("EMPTY"), "an empty value");
        Check.equal("=", env.get("ONLY_EQUALS"), "a value of one '='");
        Check.equal("v", env.get("X=Y"), "an escaped '=' stays in the name");
        Check.equal("nameless", env.get(""), "an empty name");
    }

    private static void blanksColonsAndHashesAreOrdinaryText(Path scratch) throws Exception {
        Map<String, String> env = readDump(scratch,
                "  LEADING =  blanks \n#HASH=1\n:COLON=2\n!BANG=3\nA:B=c:d\n", UTF8);
        Check.equal("  blanks ", env.get("  LEADING "), "blanks around name and value");
        Check.equal("1", env.get("#HASH"), "a line starting with '#'");
        Check.equal("2", env.get(":COLON"), "a line starting with ':'");
        Check.equal("3", env.get("!BANG"), "a line starting with '!'");
        Check.equal("c:d", env.get("A:B"), "':' in name and value");
        Check.equal(5, env.size(), "variable count");
    }

    private static void variablesKeepTheOrderOfTheFile(Path scratch) throws Exception {
        Map<String, String> env = readDump(scratch, "Z=1\nA=2\nM=3\nA=2\nLAST=no line feed", UTF8);
        Check.equal(Arrays.asList("Z", "A", "M", "LAST"), Arrays.asList(env.keySet().toArray()),
                "names in file order, a repeated name once");
        Check.equal("no line feed", env.get("LAST"), "a last line without line feed");
    }

    private static void anEmptyFileHasNoVariables(Path scratch) throws Exception {
        Check.isTrue(readDump(scratch, "", UTF8).isEmpty(), "an empty file gives no variables");
    }

    private static void malformedLinesAreReportedWithTheirNumber() {
        String[][] cases = {
            {"A=1\nNO_EQUALS\n", "line 2", "a line without '='"},
            {"A=\\x\n", "line 1", "an unknown escape"},
            {"A=1\nB=\\u00e\n", "line 2", "a cut escape"},
            {"A=\\u0100\n", "line 1", "an escape above one byte"},
            {"A=1\n\nB=2\n", "line 2", "an empty line"},
            {"A=x\\", "line 1", "a lone backslash at the end"},
        };
        for (String[] c : cases) {
            EnvironmentDumpException e = Check.thrown(EnvironmentDumpException.class,
                    () -> EnvironmentDump.parse(c[0].getBytes(StandardCharsets.US_ASCII), UTF8),
                    c[2]);
            if (e != null) {
                Check.isTrue(e.getMessage().contains(c[1]),
                        c[2] + " names " + c[1] + ": " + e.getMessage());
            }
        }
    }

    private static void theLauncherPropertiesAreRead(Path scratch) throws Exception {
        System.clearProperty(Larkwin.EXPORTENV);
        Check.isTrue(!Larkwin.exportedEnvironment().isPresent(), "no dump without the property");

        Path file = Files.createTempFile(scratch, "larkwin-envdump-", "");
        Files.write(file, "HOME=/home/\\u00c3\\u00a9\n".getBytes(StandardCharsets.US_ASCII));
        System.setProperty(Larkwin.EXPORTENV, file.toString());
        // The tests run with LC_ALL=C.UTF-8: the platform encoding is UTF-8.
        Check.equal("/home/\u00e9", Larkwin.exportedEnvironment().get().get("HOME"),
                "the dump named by " + Larkwin.EXPORTENV + ", in the platform encoding");

        System.setProperty(Larkwin.COPYENV_PREFIX + "USER", "ann");
        Check.equal("ann", Larkwin.copiedVariable("USER").orElse(null), "a copied variable");
        Check.isTrue(!Larkwin.copiedVariable("NOT_COPIED").isPresent(),
                "a variable not copied");
        System.setProperty(Larkwin.EXECUTABLE_PATH, "/opt/app/bin/app");
        Check.equal("/opt/app/bin/app", Larkwin.executablePath().orElse(null),
                "the launcher's path");
    }
}
