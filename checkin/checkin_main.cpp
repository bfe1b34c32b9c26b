#include "checkin/checkin_main.h"

#include "checkin/CVellumApp.h"

namespace tuv::checkin_app {

int checkin_main(int argc, char** argv, const gui::stand_in_maker<CVellumApp>& make_stand_in) {
    return gui::window_main(argc, argv, "Quillmark_Checkin", make_stand_in,
                            [](CVellumApp& app, const std::vector<std::string>& arguments) {
                                return app.run(arguments);
                            });
}

}  // namespace tuv::checkin_app
