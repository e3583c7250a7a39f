package com.larkwin.maven;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.util.ArrayDeque;
import java.util.Deque;
import java.util.List;
import java.util.function.Consumer;

/** One run of larkwin-pack, its output passed on line by line. */
final class PackerRun {
    private static final int keptLines = 5;
    private final Deque<String> lastLines = new ArrayDeque<>();
    private int status;

    /**
     * Runs the command with SOURCE_DATE_EPOCH set when epoch is not null, standard error joined to
     * standard output, input from nothing; each line goes to log.
     */
    static PackerRun run(List<String> command, String epoch, Consumer<String> log)
        throws IOException, InterruptedException {
        ProcessBuilder builder = new ProcessBuilder(command).redirectErrorStream(true);
        builder.redirectInput(ProcessBuilder.Redirect.from(new java.io.File("/dev/null")));
        if (epoch != null) {
            builder.environment().put("SOURCE_DATE_EPOCH", epoch);
        }
        Process process = builder.start();
        PackerRun run = new PackerRun();
        try (BufferedReader lines = new BufferedReader(
                 new InputStreamReader(process.getInputStream(), StandardCharsets.UTF_8))) {
            for (String line = lines.readLine(); line != null; line = lines.readLine()) {
                log.accept(line);
                run.keep(line);
            }
        } finally {
            run.status = process.waitFor();
        }
        return run;
    }

    private void keep(String line) {
        if (lastLines.size() == keptLines) {
            lastLines.removeFirst();
        }
        lastLines.addLast(line);
    }

    int status() {
        return status;
    }

    /** The packer's own last lines, which say why it failed. */
    String reason() {
        return lastLines.isEmpty() ? "(it printed nothing)" : String.join("\n", lastLines);
    }
}
