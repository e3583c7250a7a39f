package org.larkwin.sample;

import java.util.concurrent.Callable;
import org.apache.commons.lang3.StringUtils;
import picocli.CommandLine;
import picocli.CommandLine.Command;
import picocli.CommandLine.Parameters;

/** Prints its words reversed and capitalised: picocli reads them, commons-lang3 turns them. */
@Command(name = "sample")
public class Main implements Callable<Integer> {
    @Parameters
    private String[] words = {};

    @Override
    public Integer call() {
        for (String word : words) {
            System.out.println(StringUtils.capitalize(StringUtils.reverse(word)));
        }
        return 0;
    }

    public static void main(String[] args) {
        System.exit(new CommandLine(new Main()).execute(args));
    }
}
