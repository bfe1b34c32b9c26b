#include "property/property_main.h"

#include "property/CVellum_PropertyApp.h"
#include "property/command_line.h"

namespace tuv::property {

int property_main(int argc, char** argv,
                  const gui::stand_in_maker<CVellum_PropertyApp>& make_stand_in) {
    return gui::window_main(
        argc, argv, "Quillmark_Property", make_stand_in,
        [](CVellum_PropertyApp& app, const std::vector<std::string>& arguments) {
            return app.run(local_path_from(arguments));
        });
}

}  // namespace tuv::property
