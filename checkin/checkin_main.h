// Quillmark_Checkin's main, in the library: checkin/main.cpp calls it alone,
// and the program's build for end-to-end tests (tests/checkin) calls it with
// a stand-in for the person, so that the two differ in nothing else.
#pragma once

#include "gui/window_main.h"

class CVellumApp;

namespace tuv::checkin_app {

// Runs CVellumApp on the command line under gui::window_main and returns
// the exit code.
int checkin_main(int argc, char** argv, const gui::stand_in_maker<CVellumApp>& make_stand_in = {});

}  // namespace tuv::checkin_app
