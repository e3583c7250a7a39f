package merge;

public class AppGreeter implements Greeter {
    public String greet() {
        return "app";
    }
}
