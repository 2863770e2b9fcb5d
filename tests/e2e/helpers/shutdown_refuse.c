/* A stand-in for shutdown.exe on a limited XP account, which lacks the right to force a shutdown: it restarts nothing
   and exits with 1. */
int main(void) { return 1; }
