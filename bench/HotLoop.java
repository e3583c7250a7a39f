import java.util.Arrays;
import java.util.Random;

/** A short run with a hot loop: sorts an array and hashes it, ROUNDS times. */
public class HotLoop {
    public static void main(String[] args) {
        int rounds = Integer.parseInt(args[0]);
        Random random = new Random(7);
        int[] values = new int[8192];
        int hash = 0;
        for (int round = 0; round < rounds; round++) {
            for (int i = 0; i < values.length; i++) {
                values[i] = random.nextInt();
            }
            Arrays.sort(values);
            for (int pass = 0; pass < 200; pass++) {
                hash = hash * 31 + mix(values, pass);
            }
        }
        System.out.println(hash);
    }

    // No value depends on another's: the optimising compiler unrolls and vectorises it.
    static int mix(int[] values, int salt) {
        int sum = 0;
        for (int value : values) {
            sum += ((value ^ salt) * 0x9e3779b9) ^ (value >>> 16);
        }
        return sum;
    }
}
