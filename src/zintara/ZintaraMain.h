#pragma once

// The program: reads its options, builds the applications the scripts
// address, loads the interface and runs the application until it ends.
int zintaraMain(int argc, char** argv);
