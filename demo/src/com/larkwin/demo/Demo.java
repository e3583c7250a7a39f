package com.larkwin.demo;

import com.larkwin.app.Larkwin;
import com.larkwin.app.SingleInstance;
import com.larkwin.app.SingleInstanceException;
import java.io.IOException;
import java.util.Map;
import java.util.Optional;
import java.util.TreeMap;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.TimeUnit;

/**
 * Shows what the launcher gives an application: its parameters, the larkwin
 * system properties and the Java runtime.
 *
 * <p>With {@code --serve SECONDS} among the parameters and a {@code socket}
 * directive in the configuration, the demo then stays up as the single
 * instance and prints every file that {@code demo +SHELL FILE...} forwards to
 * it, until a file named {@code stop} is forwarded or SECONDS have passed
 * ({@code 0}: no time limit).
 */
public final class Demo {
    private static final String STOP = "stop";

    private Demo() {}

    /**
     * Prints what the launcher passed and serves forwarded files on request.
     *
     * @param args the application parameters
     * @throws InterruptedException if interrupted while serving
     */
    public static void main(String[] args) throws InterruptedException {
        printParameters(args);
        printRuntime();
        printLarkwinProperties();
        Optional<Long> seconds;
        try {
            seconds = serveSeconds(args);
        } catch (NumberFormatException e) {
            System.err.println("--serve must be followed by a number of seconds");
            System.exit(2);
            return;
        }
        if (seconds.isPresent() && !serve(seconds.get())) {
            System.exit(1);
        }
    }

    private static void printParameters(String[] args) {
        System.out.println("larkwin demo: " + args.length + " parameter(s)");
        for (String arg : args) {
            System.out.println("  " + arg);
        }
    }

    private static void printRuntime() {
        System.out.println("java.version: " + System.getProperty("java.version"));
        System.out.println("java.home: " + System.getProperty("java.home"));
    }

    private static void printLarkwinProperties() {
        String executable = Larkwin.executablePath().orElse("(not set)");
        System.out.println(Larkwin.EXECUTABLE_PATH + ": " + executable);
        System.out.println(Larkwin.SOCKET + ": " + System.getProperty(Larkwin.SOCKET, "(not set)"));
        System.out.println(Larkwin.EXPORTENV + ": " + exportedEnvironmentSummary());
        Map<String, String> copied = new TreeMap<>();
        for (String name : System.getProperties().stringPropertyNames()) {
            if (name.startsWith(Larkwin.COPYENV_PREFIX)) {
                copied.put(name, System.getProperty(name));
            }
        }
        copied.forEach((name, value) -> System.out.println(name + ": " + value));
    }

    private static String exportedEnvironmentSummary() {
        String path = System.getProperty(Larkwin.EXPORTENV);
        if (path == null) {
            return "(not set)";
        }
        try {
            int count = Larkwin.exportedEnvironment().map(Map::size).orElse(0);
            return path + " (" + count + " variables)";
        } catch (IOException e) {
            return path + " (unreadable: " + e.getMessage() + ")";
        }
    }

    private static Optional<Long> serveSeconds(String[] args) {
        for (int i = 0; i < args.length; i++) {
            if (args[i].equals("--serve")) {
                if (i + 1 == args.length) {
                    throw new NumberFormatException("missing");
                }
                return Optional.of(Long.parseLong(args[i + 1]));
            }
        }
        return Optional.empty();
    }

    /** Returns false when this instance could not listen. */
    private static boolean serve(long seconds) throws InterruptedException {
        CountDownLatch stop = new CountDownLatch(1);
        try (SingleInstance listener = SingleInstance.listen(path -> {
            System.out.println("open " + path);
            if (path.substring(path.lastIndexOf('/') + 1).equals(STOP)) {
                stop.countDown();
            }
        })) {
            System.out.println("listening on 127.0.0.1:" + listener.port()
                    + "; forward a file named " + STOP + " to end");
            if (seconds > 0) {
                stop.await(seconds, TimeUnit.SECONDS);
            } else {
                stop.await();
            }
            System.out.println("stopped listening");
            return true;
        } catch (SingleInstanceException e) {
            System.err.println(e.getMessage());
            return false;
        } catch (IOException e) {
            System.err.println("closing the listener failed: " + e);
            return true;
        }
    }
}
