package larkwin.test;

public class Throws {
    public static void main(String[] args) {
        throw new IllegalStateException("expected failure");
    }
}
