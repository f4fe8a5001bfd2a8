#include "app/StartSequence.h"

// The command line is not read.
int main() { return qinvara::RunProgram(); }
