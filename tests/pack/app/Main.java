public class Main {
    public static void main(String[] args) {
        System.out.println("Main ran with " + String.join(" ", args));
    }
}
