// The explorer's Win32 time line over a real vault, driven through its
// windows' messages: a drag of a thumb, the zoom buttons and keys with their
// refusals, and the "Use time filter" box.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "core/base/date.h"
#include "core/db/db.h"
#include "explorer/explorer_document.h"
#include "explorer/win32/CVellum_Slider.h"
#include "explorer/win32/TFormView.h"
#include "tests/support/gui/quiet_presentation.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/test_vault.h"
#include "tests/windows/window_driver.h"

namespace tuv {
namespace {

using win32::TFormView;

std::time_t local(const std::string& text) {
    return date(text).seconds();
}

LPARAM point_of(tuv::gui::point at) {
    return MAKELPARAM(at.x, at.y);
}

class explorer_time_line_win32_test : public ::testing::Test {
  protected:
    ~explorer_time_line_win32_test() override {
        form_.reset();
        ::DestroyWindow(host_);
    }

    // Check-ins from 10 March 2020, noon, to `days` later; the folder Early
    // from that day, Late from 20 April 2020; the form in a window 640 wide.
    void open(int days) {
        const std::time_t start = local("2020-03-10 12:00:00");
        for (const std::time_t moment : {start, start + days * 86400}) {
            vault_.database().execute(
                "INSERT INTO bmap(file_id, chunk_id, creation_date, virtual_offset) "
                "VALUES (1, 1, ?, 0)",
                {static_cast<std::int64_t>(moment)});
        }
        vault_.repo().catalogue().create_directory("Early", 1, "2020-03-10 14:00:00");
        vault_.repo().catalogue().create_directory("Late", 1, "2020-04-20 10:00:00");
        host_ = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 640, 200, nullptr, nullptr,
                                  nullptr, nullptr);
        form_ = std::make_unique<TFormView>(document_, host_);
        frame_.on_reload = [this] { form_->views_changed(); };
    }

    HWND slider() { return form_->slider().window(); }
    const explorer::slider_scale& scale() { return form_->slider().scale(); }

    void click_time_filter() { test::click(form_->window(), win32::IDC_TIME_FILTER); }

    std::vector<std::string> history() const {
        std::vector<std::string> names;
        for (const change_entry& entry : document_.history()) names.push_back(entry.full_path);
        return names;
    }

    std::string prompts() const {
        std::string shown;
        for (const gui::prompt_record& prompt : prompter_.prompts()) {
            shown +=
                prompt.caption + "|" + prompt.text + "|" + std::to_string(int(prompt.icon)) + ";";
        }
        return shown;
    }

    test::test_vault vault_;
    gui::scripted_prompter prompter_;
    explorer::quiet_presentation frame_;  // the form follows the views
    explorer::explorer_document document_{&vault_.repo(), prompter_, frame_};
    HWND host_ = nullptr;
    std::unique_ptr<TFormView> form_;
};

// A drag of the from thumb moves the selection's start, the document keeps
// it, and the release has the list show the new period; an arrow key then
// moves the band.
TEST_F(explorer_time_line_win32_test, dragging_a_thumb_selects_and_refreshes_the_list) {
    open(61);
    click_time_filter();
    ASSERT_EQ(history(), (std::vector<std::string>{"\\Early", "\\Late"}));

    const tuv::gui::point grab = scale().from_thumb().centre();
    const int dx = static_cast<int>(scale().x_of(10.5) - scale().x_of(0));
    ::SendMessageW(slider(), WM_LBUTTONDOWN, MK_LBUTTON, point_of(grab));
    ::SendMessageW(slider(), WM_MOUSEMOVE, MK_LBUTTON, point_of({grab.x + dx / 2, grab.y}));
    ::SendMessageW(slider(), WM_MOUSEMOVE, MK_LBUTTON, point_of({grab.x + dx, grab.y}));
    EXPECT_EQ(history(), (std::vector<std::string>{"\\Early", "\\Late"}));
    ::SendMessageW(slider(), WM_LBUTTONUP, 0, point_of({grab.x + dx, grab.y}));

    EXPECT_EQ(static_cast<int>(scale().from()), 10);
    EXPECT_EQ(document_.slider().from, scale().from());
    EXPECT_EQ(test::text_of(slider()), "Selected Range From: March 20, 2020 To: May 10, 2020");
    EXPECT_EQ(history(), std::vector<std::string>{"\\Late"});

    ::SendMessageW(slider(), WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_LT(document_.slider().to, 61.0);
    EXPECT_EQ(document_.slider().to, scale().to());
    EXPECT_EQ(prompts(), "");
}

TEST_F(explorer_time_line_win32_test, the_box_filters_the_history_by_the_selection) {
    open(61);
    form_->slider().set_selection(0, 0);  // 10 March 2020
    click_time_filter();
    EXPECT_EQ(history(), std::vector<std::string>{"\\Early"});
    click_time_filter();
    EXPECT_EQ(history(), (std::vector<std::string>{"\\Early", "\\Late"}));
    EXPECT_FALSE(document_.slider().use_time_filter);
}

// The slider ends 30 pixels before the form's right edge, but below 350
// pixels wide it keeps its right edge at 500, or at the form's when nearer.
TEST_F(explorer_time_line_win32_test, the_slider_follows_the_form_width) {
    open(61);
    for (const auto& [form_width, slider_width] : {std::pair{700, 661}, {380, 370}, {200, 190}}) {
        ::MoveWindow(form_->window(), 0, 0, form_width, 114, FALSE);
        RECT area{};
        ::GetWindowRect(slider(), &area);
        EXPECT_EQ(area.right - area.left, slider_width) << form_width;
        EXPECT_EQ(scale().track().width, slider_width - 60) << form_width;
    }
}

struct zoom_case {
    const char* name;
    int days;
    // '+' and '-' click Zoom+ and Zoom-, 'z' and 'Z' press Z and Alt+Z.
    const char* steps;
    const char* status;
    const char* refused;
};

void PrintTo(const zoom_case& step, std::ostream* out) {
    *out << step.name;
}

class explorer_time_line_zoom_test : public explorer_time_line_win32_test,
                                     public ::testing::WithParamInterface<zoom_case> {};

TEST_P(explorer_time_line_zoom_test, zooms_within_the_limits) {
    const zoom_case& step = GetParam();
    open(step.days);
    for (const char* at = step.steps; *at != '\0'; ++at) {
        if (*at == 'z') ::SendMessageW(slider(), WM_KEYDOWN, 'Z', 0);
        if (*at == 'Z') ::SendMessageW(slider(), WM_SYSKEYDOWN, 'Z', 1 << 29);
        if (*at == '+' || *at == '-') {
            const tuv::gui::point button =
                (*at == '+' ? scale().zoom_in_button() : scale().zoom_out_button()).centre();
            ::SendMessageW(slider(), WM_LBUTTONDOWN, MK_LBUTTON, point_of(button));
            ::SendMessageW(slider(), WM_LBUTTONUP, 0, point_of(button));
        }
    }
    EXPECT_EQ(test::text_of(slider()), step.status);
    EXPECT_EQ(document_.slider().zoom_level, scale().zoom_level());
    EXPECT_EQ(prompts(), *step.refused == '\0'
                             ? ""
                             : "Quillmark Explorer|" + std::string(step.refused) + "|1;");
}

INSTANTIATE_TEST_SUITE_P(
    spans, explorer_time_line_zoom_test,
    ::testing::Values(zoom_case{"out_of_years", 1200, "-", "Selected Range From: 2020 To: 2023",
                                "You are already at year level."},
                      zoom_case{"alt_z_out_of_years", 1200, "Z",
                                "Selected Range From: 2020 To: 2023",
                                "You are already at year level."},
                      zoom_case{"years_to_months", 1200, "+",
                                "Selected Range From: March, 2020 To: July, 2023", ""},
                      zoom_case{"z_to_days_and_past", 400, "z+",
                                "Selected Range From: March 10, 2020 To: April 14, 2021",
                                "You are already at day level."},
                      zoom_case{"days_and_back", 400, "+-",
                                "Selected Range From: March, 2020 To: May, 2021", ""}),
    [](const ::testing::TestParamInfo<zoom_case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tuv
