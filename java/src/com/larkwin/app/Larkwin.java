package com.larkwin.app;

import java.io.IOException;
import java.nio.file.Paths;
import java.util.Map;
import java.util.Optional;

/**
 * What the launcher hands the application through system properties.
 *
 * <p>Every method answers "empty" when the application was not started by the
 * launcher, or when its configuration did not ask for that property.
 */
public final class Larkwin {
    /** The launcher's own executable path. */
    public static final String EXECUTABLE_PATH = "larkwin.executable.path";
    /** The port of the instance command channel (the {@code socket} directive). */
    public static final String SOCKET = "larkwin.socket";
    /** The path of the environment dump file (the {@code exportenv} directive). */
    public static final String EXPORTENV = "larkwin.exportenv";
    /** The prefix of each copied variable (the {@code copyenv} directive). */
    public static final String COPYENV_PREFIX = "larkwin.copyenv.";

    private Larkwin() {}

    /**
     * The path of the launcher executable that started this application.
     *
     * @return the path, or empty when no launcher started the application
     */
    public static Optional<String> executablePath() {
        return Optional.ofNullable(System.getProperty(EXECUTABLE_PATH));
    }

    /**
     * The value of one environment variable that the configuration copied
     * with {@code copyenv NAME}.
     *
     * @param name the variable's name
     * @return its value as the launcher saw it, or empty when it was not
     *     copied (or not set in the launcher's environment)
     */
    public static Optional<String> copiedVariable(String name) {
        return Optional.ofNullable(System.getProperty(COPYENV_PREFIX + name));
    }

    /**
     * The launcher's whole environment, read from the dump file that the
     * {@code exportenv} directive wrote.
     *
     * @return the variables in the launcher's order, or empty when the
     *     configuration has no {@code exportenv}
     * @throws EnvironmentDumpException if the file is malformed
     * @throws IOException if the file cannot be read (the launcher deletes it
     *     once the application has ended)
     */
    public static Optional<Map<String, String>> exportedEnvironment() throws IOException {
        String path = System.getProperty(EXPORTENV);
        if (path == null) {
            return Optional.empty();
        }
        return Optional.of(EnvironmentDump.read(Paths.get(path)));
    }
}
