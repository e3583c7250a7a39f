package larkwin.test;

public class PrintArgs {
    public static void main(String[] args) {
        System.out.println("larkwin.test=" + System.getProperty("larkwin.test"));
        System.out.println("args=" + args.length);
        for (String arg : args) {
            System.out.println("[" + arg + "]");
        }
    }
}
