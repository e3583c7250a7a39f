package org.larkwin.windowtest;

import java.awt.Toolkit;
import java.io.IOException;
import javax.swing.JFrame;
import javax.swing.SwingUtilities;

/** Shows one window titled by its argument, says so, and ends when its standard input ends. */
public final class WindowClassApp {
    private WindowClassApp() {}

    public static void main(String[] args) throws Exception {
        SwingUtilities.invokeAndWait(() -> {
            JFrame frame = new JFrame(args[0]);
            frame.setSize(120, 80);
            frame.setVisible(true);
            // The X server has the window and its properties once this returns.
            Toolkit.getDefaultToolkit().sync();
        });
        System.out.println("shown");
        System.out.flush();
        while (System.in.read() >= 0) {
            // Wait for the end of standard input.
        }
        System.exit(0);
    }
}
