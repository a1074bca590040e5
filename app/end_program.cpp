// Ending the program: the libraries' end routines in their fixed order, then exit code 0.
//
// Nothing else is released: the status item, the hot keys and the platform objects go away
// with the process, and the settings are already stored, since every change is synchronized
// at once.
#include "app/end_program.h"

#include <cstdlib>

#include "core/file.h"
#include "core/process.h"
#include "gui/gadgets.h"
#include "image/image.h"

void RunEndRoutines() {
  // The file-system functions' registry, and the application, window and event-queue end
  // routines, have nothing to free in this program: it never creates the registry, and the
  // GUI runtime's objects go away with the process.
  EndGadgets();   // frees every gadget
  ImagesEnd();    // frees every image; the vector-drawing library has nothing to end
  FilesEnd();     // closes every file, writing out buffered data
  ProgramsEnd();  // no program objects exist here; releases the process list's records
}

void EndProgram() {
  RunEndRoutines();
  std::exit(0);
}
