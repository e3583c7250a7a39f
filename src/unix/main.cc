// Placeholder entry until the launch driver exists.
#include <cstdio>

int main() {
    printf("larkwin: not yet able to launch\n");
    return 254;
}
