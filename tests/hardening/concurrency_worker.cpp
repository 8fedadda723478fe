// One client process of the concurrency run: opens the shared connection on the database file
// and runs its share of uploads, grants, permission changes, reads and downloads through the
// library and permission classes, then prints its report line.

#include "ConcurrencyRun.h"

int main(int argc, char** argv) { return quarvel::concurrency::workerMain(argc, argv); }
