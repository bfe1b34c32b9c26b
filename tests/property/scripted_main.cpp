// Quillmark_Property_scripted: the properties program as the end-to-end tests
// build it (never installed). When QUILLMARK_PROPERTY_SCRIPT names a JSON
// file, its script (tests/support/gui/prompt_script.h) answers in the
// person's place and logs every prompt, and the dialog closes as soon as it
// would show.
#include <memory>

#include "property/CVellum_PropertyApp.h"
#include "property/property_main.h"
#include "tests/support/gui/prompt_script.h"

namespace {

class script_stand_in : public tuv::gui::stand_in<CVellum_PropertyApp> {
  public:
    explicit script_stand_in(std::unique_ptr<tuv::gui::prompt_script> script)
        : script_(std::move(script)) {}

    tuv::gui::prompter& prompter() override { return script_->prompter(); }
    void install(CVellum_PropertyApp& app) override {
        app.set_dialog_runner([](CVellum_PropertyDlg&) {});
    }

  private:
    std::unique_ptr<tuv::gui::prompt_script> script_;
};

}  // namespace

int main(int argc, char** argv) {
    return tuv::property::property_main(
        argc, argv, []() -> std::unique_ptr<tuv::gui::stand_in<CVellum_PropertyApp>> {
            auto script = tuv::gui::prompt_script::from_environment("QUILLMARK_PROPERTY_SCRIPT");
            if (!script) return nullptr;
            return std::make_unique<script_stand_in>(std::move(script));
        });
}
