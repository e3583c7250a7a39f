package com.larkwin.maven;

import java.io.File;
import java.util.List;

/** larkwin-pack's command line, one option at a time; what is unset is left out. */
final class PackOptions {
    private PackOptions() {}

    static void add(List<String> command, String option, String value) {
        if (value != null) {
            command.add(option);
            command.add(value);
        }
    }

    static void addFile(List<String> command, String option, File value) {
        add(command, option, value != null ? value.getPath() : null);
    }

    static void addFlag(List<String> command, String option, boolean given) {
        if (given) {
            command.add(option);
        }
    }

    static void addEach(List<String> command, String option, List<String> values) {
        if (values != null) {
            for (String value : values) {
                add(command, option, value);
            }
        }
    }
}
