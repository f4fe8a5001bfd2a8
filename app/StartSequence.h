#pragma once

namespace qinvara {

// Prepares the form layer, loads MainWindow and runs until the program ends;
// returns the exit status.
int RunProgram();

}  // namespace qinvara
