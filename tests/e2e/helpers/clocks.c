/* The wall clock (epoch ms) and the clock of Wine's +timestamp trace, CLOCK_MONOTONIC_RAW (ms), read at one instant. */
#include <stdio.h>
#include <time.h>
int main(void) {
    struct timespec r, m;
    clock_gettime(CLOCK_REALTIME, &r);
    clock_gettime(CLOCK_MONOTONIC_RAW, &m);
    printf("%lld %lld\n", (long long)r.tv_sec * 1000 + r.tv_nsec / 1000000, (long long)m.tv_sec * 1000 + m.tv_nsec / 1000000);
    return 0;
}
