package com.larkwin.app;

import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.nio.charset.Charset;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Collections;
import java.util.LinkedHashMap;
import java.util.Map;

/**
 * Reads the environment dump file that the launcher writes for the
 * {@code exportenv} directive.
 *
 * <p>Each line of the file holds one variable: its escaped name, {@code =},
 * its escaped value and a line feed. Escaping works byte by byte: a backslash
 * is doubled, and every byte below 0x20 or above 0x7F is written as
 * <code>&#92;u00</code> followed by two hexadecimal digits. The bytes are then decoded
 * in the platform's encoding, so a UTF-8 value comes back whole.
 *
 * <p>{@link java.util.Properties} is not a substitute: it trims leading
 * blanks, treats {@code :} as a separator and lines starting with {@code #}
 * or {@code !} as comments, and would corrupt such variables.
 */
public final class EnvironmentDump {
    private EnvironmentDump() {}

    /**
     * Reads a dump file, decoding names and values in the encoding the
     * platform uses for file names and the environment.
     *
     * @param file the dump file
     * @return the variables in the order of the file; when a name occurs
     *     twice the later value is kept
     * @throws EnvironmentDumpException if a line is malformed
     * @throws IOException if the file cannot be read
     */
    public static Map<String, String> read(Path file) throws IOException {
        return read(file, PlatformEncoding.fileNames());
    }

    /**
     * Reads a dump file, decoding names and values in the given encoding.
     *
     * @param file the dump file
     * @param encoding the encoding of the launcher's environment
     * @return the variables in the order of the file; when a name occurs
     *     twice the later value is kept
     * @throws EnvironmentDumpException if a line is malformed
     * @throws IOException if the file cannot be read
     */
    public static Map<String, String> read(Path file, Charset encoding) throws IOException {
        return parse(Files.readAllBytes(file), encoding, file.toString());
    }

    /**
     * Parses the content of a dump file.
     *
     * @param dump the bytes of the file
     * @param encoding the encoding of the launcher's environment
     * @return the variables in the order of the dump; when a name occurs
     *     twice the later value is kept
     * @throws EnvironmentDumpException if a line is malformed
     */
    public static Map<String, String> parse(byte[] dump, Charset encoding)
            throws EnvironmentDumpException {
        return parse(dump, encoding, "environment dump");
    }

    private static Map<String, String> parse(byte[] dump, Charset encoding, String source)
            throws EnvironmentDumpException {
        Map<String, String> variables = new LinkedHashMap<>();
        int lineNumber = 0;
        // The last line normally ends with a line feed too; one without it
        // is taken as it is rather than refused.
        for (int start = 0; start < dump.length; ) {
            lineNumber++;
            int end = start;
            while (end < dump.length && dump[end] != '\n') {
                end++;
            }
            String where = source + ", line " + lineNumber;
            parseLine(dump, start, end, encoding, variables, where);
            start = end + 1;
        }
        return Collections.unmodifiableMap(variables);
    }

    private static void parseLine(byte[] dump, int start, int end, Charset encoding,
            Map<String, String> variables, String where) throws EnvironmentDumpException {
        ByteArrayOutputStream name = new ByteArrayOutputStream();
        ByteArrayOutputStream value = new ByteArrayOutputStream();
        // "=" is never escaped, and names never contain one: the first "="
        // outside an escape ends the name.
        ByteArrayOutputStream target = name;
        int i = start;
        while (i < end) {
            byte b = dump[i];
            if (b == '\\') {
                i = unescape(dump, i, end, target, where);
            } else {
                if (b == '=' && target == name) {
                    target = value;
                } else {
                    target.write(b);
                }
                i++;
            }
        }
        if (target == name) {
            throw new EnvironmentDumpException(where + ": no '=' between name and value");
        }
        variables.put(new String(name.toByteArray(), encoding),
                new String(value.toByteArray(), encoding));
    }

    /** Writes the byte that the escape at {@code i} stands for; returns the index after it. */
    private static int unescape(byte[] dump, int i, int end, ByteArrayOutputStream target,
            String where) throws EnvironmentDumpException {
        if (i + 1 < end && dump[i + 1] == '\\') {
            target.write('\\');
            return i + 2;
        }
        if (i + 5 < end && dump[i + 1] == 'u' && dump[i + 2] == '0' && dump[i + 3] == '0') {
            int high = Character.digit(dump[i + 4], 16);
            int low = Character.digit(dump[i + 5], 16);
            if (high >= 0 && low >= 0) {
                target.write(high * 16 + low);
                return i + 6;
            }
        }
        throw new EnvironmentDumpException(where + ": a backslash must be followed by"
                + " another backslash or by u00 and two hexadecimal digits");
    }
}
