// Mindel's entry point: start-up, then the main loop, which never returns; the process ends
// only through EndProgram.
#include "app/main_loop.h"
#include "app/startup.h"

int main(int argc, char** argv) {
  StartProgram(argc, argv);
  RunMainLoop();
}
