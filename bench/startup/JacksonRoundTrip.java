import com.fasterxml.jackson.databind.ObjectMapper;
import java.util.List;
import java.util.Map;
import java.util.Objects;

// Writes an object graph to JSON with Jackson databind, reads it back and
// checks that it came back equal.
public class JacksonRoundTrip {
    public static class Item {
        public String name;
        public List<Integer> values;
        public Map<String, Double> weights;
        public Item inner;

        @Override
        public boolean equals(Object other) {
            if (!(other instanceof Item)) {
                return false;
            }
            Item item = (Item) other;
            return Objects.equals(name, item.name) && Objects.equals(values, item.values) &&
                Objects.equals(weights, item.weights) && Objects.equals(inner, item.inner);
        }

        @Override
        public int hashCode() {
            return Objects.hash(name, values, weights, inner);
        }
    }

    public static void main(String[] args) throws Exception {
        Item item = new Item();
        item.name = "order";
        item.values = List.of(1, 2, 3, 5, 8);
        item.weights = Map.of("a", 0.5, "b", 1.25);
        item.inner = new Item();
        item.inner.name = "line";
        ObjectMapper mapper = new ObjectMapper();
        String json = mapper.writeValueAsString(item);
        Item back = mapper.readValue(json, Item.class);
        System.out.println(json);
        System.exit(item.equals(back) ? 0 : 1);
    }
}
