// Quillmark_Explorer: browse the vault's cabinets, files and versions, check
// files in and versions out, search and export.
#include <QApplication>

#include "explorer/CVellum_ExplorerApp.h"
#include "gui/window_main.h"

int main(int argc, char** argv) {
    return tuv::gui::window_main(
        argc, argv, "Quillmark_Explorer",
        [](const std::vector<std::string>&, tuv::gui::prompter& prompter) {
            // Where the window keeps its size and splitters ($XDG_CONFIG_HOME/Quillmark).
            QCoreApplication::setOrganizationName("Quillmark");
            QCoreApplication::setApplicationName("Quillmark Explorer");
            CVellum_ExplorerApp app(prompter);
            return app.run();
        });
}
