// Quillmark_Property's main, in the library: property/main.cpp calls it
// alone, and the program's build for end-to-end tests (tests/property) calls
// it with a stand-in for the person, so that the two differ in nothing else.
#pragma once

#include "gui/window_main.h"

class CVellum_PropertyApp;

namespace tuv::property {

// Runs CVellum_PropertyApp for the local path on the command line under
// gui::window_main and returns the exit code.
int property_main(int argc, char** argv,
                  const gui::stand_in_maker<CVellum_PropertyApp>& make_stand_in = {});

}  // namespace tuv::property
