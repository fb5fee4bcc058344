// The packaged main program of the benchmark corpus: it exits at once, so that a
// start-up measurement is all launcher (and Wine) and no application.
int wmain() { return 0; }
