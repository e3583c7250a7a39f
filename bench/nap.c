/* Stands in for a running application while the launcher's memory is read:
   it sleeps for the milliseconds given as its last argument (default 500). */
#include <stdlib.h>
#include <time.h>

int main(int argc, char** argv) {
    long milliseconds = argc > 1 ? atol(argv[argc - 1]) : 500;
    struct timespec pause = {milliseconds / 1000, milliseconds % 1000 * 1000000L};
    nanosleep(&pause, NULL);
    return 0;
}
