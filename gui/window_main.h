// What every window program's main does around its own work.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tuv::gui {

class prompter;

// Runs a program on its arguments with the running programs' prompter and
// returns its exit code.
using window_program =
    std::function<int(const std::vector<std::string>& arguments, prompter& prompts)>;

// Reads the arguments (before Qt takes the options it knows out of argv),
// makes the application with the programs' icon and runs `program`. An
// exception that escapes it is written to standard error after `name` and
// ends the program with 1.
int window_main(int argc, char** argv, const char* name, const window_program& program);

// What a build of a window program for end-to-end tests puts in the person's
// place (tests/support/gui); the shipped programs have none. It gives the
// prompter that the application `App` borrows, and sets on the application
// what the person would do with its dialog.
template <typename App>
class stand_in {
  public:
    virtual ~stand_in() = default;
    virtual gui::prompter& prompter() = 0;
    virtual void install(App& app) = 0;
};

// Called once the QApplication exists; an empty function leaves the person
// in place.
template <typename App>
using stand_in_maker = std::function<std::unique_ptr<stand_in<App>>()>;

// window_main for a program whose work is an application `App` made on a
// prompter: makes it on the person's prompter, or on the stand-in's when
// `make_stand_in` gives one (which then sets it up), and returns
// `run(app, arguments)`.
template <typename App, typename Run>
int window_main(int argc, char** argv, const char* name, const stand_in_maker<App>& make_stand_in,
                const Run& run) {
    return window_main(
        argc, argv, name, [&](const std::vector<std::string>& arguments, prompter& person) {
            const std::unique_ptr<stand_in<App>> other = make_stand_in ? make_stand_in() : nullptr;
            App app(other ? other->prompter() : person);
            if (other) other->install(app);
            return run(app, arguments);
        });
}

}  // namespace tuv::gui
