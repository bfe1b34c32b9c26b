// Captions and texts that several window programs show alike.
#pragma once

namespace tuv::gui {

inline constexpr const char* caption_checkin = "Quillmark";
inline constexpr const char* caption_explorer = "Quillmark Explorer";
// The properties program and page show both spellings: the exclamation mark
// on success, none on failure.
inline constexpr const char* caption_properties_done = "Quillmark Properties!";
inline constexpr const char* caption_properties = "Quillmark Properties";
inline constexpr const char* caption_checkout = "Quillmark: Checkout";
inline constexpr const char* caption_warning = "Quillmark!";

// The interactive checkout's dialog title, question and message
// (gui/checkout_sequence.h; the Windows shell page runs its own).
inline constexpr const char* save_as_title = "Quillmark: Save file as";
inline constexpr const char* replace_question =
    "File with the same name already exist. \n Do you really want to replace it?";
inline constexpr const char* done_text = "Checkout done!";

// What refuses a new cabinet's name, in the check-in program and the
// explorer alike (the characters of tuv::cabinet_forbidden_characters).
inline constexpr const char* cabinet_name_message =
    "Please enter a valid value in text field.\n '\\\"/$#@!~`&^%?<>;:'+=|* ' characters are not "
    "allowed.";

// What a check-in without a single file says, from the check-in program or
// a file manager's menu.
inline constexpr const char* no_file_text = "Please select the file for Quillmark.";

// What the explorer shows for an error it has nothing better to say about.
inline constexpr const char* support_error_text =
    "Some error has occured. Please contact technical support.";

// What a program's about box and the button that opens it say.
struct about_texts {
    const char* button;
    const char* title;
    const char* text;
};
inline constexpr about_texts checkin_about{
    .button = "&About Quillmark...",
    .title = "About Quillmark",
    .text = "Quillmark Version 1.0-beta",
};
inline constexpr about_texts properties_about{
    .button = "&About Quillmark Properties...",
    .title = caption_properties,
    .text = "Quillmark Properties Version 1.0-beta",
};
inline constexpr about_texts explorer_about{
    .button = "&About Quillmark Explorer...",
    .title = "About Quillmark Explorer",
    .text = "Quillmark  Explorer Version 1.0",
};

}  // namespace tuv::gui
