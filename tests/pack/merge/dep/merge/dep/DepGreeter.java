package merge.dep;

import java.util.logging.Logger;
import merge.Greeter;

// Uses java.logging, so that a runtime linked for the bundle needs more than
// java.base.
public class DepGreeter implements Greeter {
    public String greet() {
        return Logger.getLogger("merge").getName() + "-dep";
    }
}
