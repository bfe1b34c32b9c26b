// A vault file's properties as the explorer formats them (template
// IDD_FILE_PROPERTIES: name, vault path, MIME type, size, read-only), with
// Check&Out to write the file out.
#pragma once

#include <windows.h>

#include "explorer/view_commands.h"

class CVellumProperties {
  public:
    explicit CVellumProperties(tuv::explorer::property_texts texts) : texts_(std::move(texts)) {}

    // Shows the dialog over `owner`; true for Check&Out.
    bool run(HWND owner);

    INT_PTR handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  private:
    tuv::explorer::property_texts texts_;
};
