package com.larkwin.demo;

import com.larkwin.app.Larkwin;
import com.larkwin.app.Service;
import com.larkwin.app.SingleInstance;
import com.larkwin.app.SingleInstanceException;
import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
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
 *
 * <p>With {@code --service-commands}, the demo then reads one command a line
 * from standard input and passes it to systemd through the launcher
 * ({@code ready}, {@code status TEXT}, {@code stopping}, {@code alive}), or
 * exits ({@code exit CODE}), or exhausts its heap ({@code fill-heap}),
 * answering {@code done} and the command on standard output each time.
 */
public final class Demo {
    private static final String STOP = "stop";

    private Demo() {}

    /**
     * Prints what the launcher passed and serves forwarded files on request.
     *
     * @param args the application parameters
     * @throws InterruptedException if interrupted while serving
     * @throws IOException if standard input cannot be read
     */
    public static void main(String[] args) throws InterruptedException, IOException {
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
        if (Arrays.asList(args).contains("--service-commands")) {
            serviceCommands();
        }
    }

    private static void serviceCommands() throws IOException {
        System.out.println("reading service commands");
        BufferedReader in =
                new BufferedReader(new InputStreamReader(System.in, StandardCharsets.UTF_8));
        for (String line = in.readLine(); line != null; line = in.readLine()) {
            if (line.startsWith("exit ")) {
                System.exit(Integer.parseInt(line.substring("exit ".length())));
            } else if (line.equals("ready")) {
                Service.ready();
            } else if (line.startsWith("status ")) {
                Service.status(line.substring("status ".length()));
            } else if (line.equals("stopping")) {
                Service.stopping();
            } else if (line.equals("alive")) {
                Service.alive();
            } else if (line.equals("fill-heap")) {
                fillHeap();
            }
            System.out.println("done " + line);
        }
    }

    /** Holds ever more memory, until the heap is exhausted. */
    private static void fillHeap() {
        List<long[]> held = new ArrayList<>();
        while (held.size() >= 0) {
            held.add(new long[1 << 16]);
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
