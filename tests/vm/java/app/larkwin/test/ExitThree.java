package larkwin.test;

public class ExitThree {
    public static void main(String[] args) {
        System.out.println("exiting");
        System.exit(3);
    }
}
