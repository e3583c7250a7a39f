package merge;

import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.ServiceLoader;

// Prints the greeting of every provider it finds and the resource shared.txt,
// then exits with the status given as its first argument.
public class ServiceMain {
    public static void main(String[] args) throws Exception {
        List<String> greetings = new ArrayList<>();
        for (Greeter greeter : ServiceLoader.load(Greeter.class)) {
            greetings.add(greeter.greet());
        }
        Collections.sort(greetings);
        System.out.println("greeters: " + String.join(" ", greetings));
        try (InputStream shared = ServiceMain.class.getResourceAsStream("shared.txt")) {
            System.out.print("shared: " + new String(shared.readAllBytes(), StandardCharsets.UTF_8));
        }
        System.exit(args.length > 0 ? Integer.parseInt(args[0]) : 0);
    }
}
