// Quillmark_Explorer for Windows: browse the vault's cabinets, files and
// versions, check files in and versions out, search and export.
#include "core/vault/repository.h"
#include "explorer/win32/CVellum_ExplorerApp.h"
#include "gui/win32/window_main.h"

int main() {
    return tuv::win32::window_main(
        [](const std::vector<std::string>&, tuv::gui::prompter& prompter) {
            CVellum_ExplorerApp app(prompter, tuv::open_repository);
            return app.run();
        });
}
