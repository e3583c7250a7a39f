// A small Groovy application that opens what it is given: the files and
// URLs on its command line, then those that later starts hand to the
// running instance through the launcher's socket. Each arrives on a line
// "open TEXT". It ends when it is handed something named "stop", or with
// "--serve SECONDS" after that many seconds.
import com.larkwin.app.SingleInstance
import com.larkwin.app.SingleInstanceException
import java.util.concurrent.CountDownLatch
import java.util.concurrent.TimeUnit

def stop = new CountDownLatch(1)
def open = { String text ->
    println "open " + text
    if (text.substring(text.lastIndexOf('/') + 1) == 'stop') {
        stop.countDown()
    }
}
def seconds = 0L
def given = args as List
def serve = given.indexOf('--serve')
if (serve >= 0) {
    seconds = given[serve + 1] as long
    given = given.take(serve) + given.drop(serve + 2)
}
given.each(open)
try {
    def listener = SingleInstance.listen(open)
    println "listening on 127.0.0.1:" + listener.port()
    if (seconds > 0) {
        stop.await(seconds, TimeUnit.SECONDS)
    } else {
        stop.await()
    }
    listener.close()
    println "stopped listening"
} catch (SingleInstanceException e) {
    System.err.println(e.message)
    System.exit(1)
}
