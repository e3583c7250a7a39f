package merge;

public interface Greeter {
    String greet();
}
