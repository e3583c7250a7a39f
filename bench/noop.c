/* Stands in for java in the benchmark: it does nothing at all, so that what
   is measured around it is the cost of starting it. */
int main(void) {
    return 0;
}
