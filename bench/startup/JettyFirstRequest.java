import java.io.IOException;
import java.io.InputStream;
import java.net.HttpURLConnection;
import java.net.InetSocketAddress;
import java.net.URL;
import javax.servlet.http.HttpServletRequest;
import javax.servlet.http.HttpServletResponse;
import org.eclipse.jetty.server.Request;
import org.eclipse.jetty.server.Server;
import org.eclipse.jetty.server.ServerConnector;
import org.eclipse.jetty.server.handler.AbstractHandler;

// Starts an embedded Jetty 9 server on a free port of 127.0.0.1 and ends as
// soon as it has answered its first request.
public class JettyFirstRequest {
    public static void main(String[] args) throws Exception {
        Server server = new Server(new InetSocketAddress("127.0.0.1", 0));
        server.setHandler(new AbstractHandler() {
            @Override
            public void handle(String target, Request base, HttpServletRequest request,
                               HttpServletResponse response) throws IOException {
                response.setContentType("text/plain");
                response.getWriter().print("hello from jetty");
                base.setHandled(true);
            }
        });
        server.start();
        int port = ((ServerConnector) server.getConnectors()[0]).getLocalPort();
        HttpURLConnection connection =
            (HttpURLConnection) new URL("http://127.0.0.1:" + port + "/").openConnection();
        try (InputStream in = connection.getInputStream()) {
            String body = new String(in.readAllBytes(), "UTF-8");
            System.out.println(body);
            System.exit(body.equals("hello from jetty") ? 0 : 1);
        }
    }
}
