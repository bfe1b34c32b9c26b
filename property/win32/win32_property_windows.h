// The Win32 properties program's window, as property_program asks for it.
#pragma once

#include "property/property_program.h"

namespace tuv::win32 {

class win32_property_windows : public property::property_windows {
  public:
    // Borrows the prompter, which must outlive this.
    explicit win32_property_windows(gui::prompter& prompter) : prompter_(prompter) {}

    void show_dialog(const std::string& local_path, property::property_model& model,
                     repository& repo) override;

  private:
    gui::prompter& prompter_;
};

// Quillmark_Property's main: the properties of the local file its command
// line names, with the person's prompter.
int property_main();

}  // namespace tuv::win32
