// The time line (slider arithmetic, slider widget, time form) and the search
// pane, against real vaults. Local time is Europe/Berlin throughout, so that
// periods cross a daylight saving change (29 March 2020).
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <ctime>
#include <optional>

#include "core/base/date.h"
#include "core/vault/file_entry.h"
#include "core/vault/journal.h"
#include "explorer/CSearchFiltters.h"
#include "explorer/CVellum_ExplorerDoc.h"
#include "explorer/CVellum_Slider.h"
#include "explorer/TFormView.h"
#include "explorer/hview_model.h"
#include "explorer/pane_search.h"
#include "tests/support/gui/scripted_prompter.h"
#include "tests/support/scoped_env.h"
#include "tests/support/screenshot.h"
#include "tests/support/test_vault.h"

using namespace tuv::explorer;
using tuv::date;

namespace {

std::time_t local(const char* text) { return date(std::string(text)).seconds(); }

QString shown(std::time_t moment) {
    return QDateTime::fromSecsSinceEpoch(moment).toString("yyyy-MM-dd HH:mm:ss");
}

// A scale of 0 .. 34 on a 460 x 70 slider: thumbs of 30, a scale of 340
// pixels, so 10 pixels a unit and the arrow keys step 0.1.
slider_scale scale_of(double from, double to) {
    slider_scale scale;
    scale.layout({460, 70});
    scale.set_range(0, 34);
    scale.set_selection(from, to);
    return scale;
}

// Check-ins (block rows) at the given moments, as the vault's span counts them.
void check_ins_at(tuv::test::test_vault& vault, std::initializer_list<std::time_t> moments) {
    for (const std::time_t moment : moments) {
        vault.database().execute(
            "INSERT INTO bmap(file_id, chunk_id, creation_date, virtual_offset) VALUES (1, 1, ?, 0)",
            {static_cast<std::int64_t>(moment)});
    }
}

QString messages(const tuv::gui::scripted_prompter& prompts) {
    QStringList texts;
    for (const auto& prompt : prompts.prompts()) {
        texts << QString::fromStdString(prompt.caption + "|" + prompt.text + "|" +
                                        std::to_string(int(prompt.icon)));
    }
    return texts.join("; ");
}

}  // namespace

class explorer_timeline_test : public QObject {
    Q_OBJECT
    std::optional<tuv::test::scoped_env> zone_;

  private slots:
    void initTestCase() {
        zone_.emplace("TZ", "Europe/Berlin");
        tzset();
    }
    void cleanupTestCase() {
        zone_.reset();
        tzset();
    }

    void unit_follows_span_data() {
        QTest::addColumn<std::time_t>("latest");
        QTest::addColumn<int>("level");
        QTest::addColumn<double>("maximum");
        const std::time_t start = local("2020-01-10 12:00:00");
        QTest::newRow("one day") << start << zoom_day << 1.0;
        QTest::newRow("365 days") << start + 365 * 86400 << zoom_day << 365.0;
        QTest::newRow("366 days") << start + 366 * 86400 << zoom_month << 13.0;
        QTest::newRow("1095 days") << start + 1095 * 86400 << zoom_month << 37.0;
        QTest::newRow("1096 days") << start + 1096 * 86400 << zoom_year << 4.0;
        QTest::newRow("no check-in") << std::time_t{0} << zoom_day << 0.0;
    }
    void unit_follows_span() {
        QFETCH(std::time_t, latest);
        QFETCH(int, level);
        QFETCH(double, maximum);
        const scale_unit unit = natural_unit(latest == 0 ? 0 : local("2020-01-10 12:00:00"), latest);
        QCOMPARE(unit.zoom_level, level);
        QCOMPARE(unit.maximum, maximum);
    }

    // Earliest change 15 March 2020, 23:30; latest 1 June 2023.
    void status_and_period_name_the_same_time_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("period");
        QTest::newRow("one year") << zoom_year << 4.0 << 1.0 << 1.0 << "Selected year: 2021"
                                  << "2021-01-01 00:00:00 .. 2021-12-31 23:59:59";
        QTest::newRow("years to the end")
            << zoom_year << 4.0 << 0.0 << 4.0 << "Selected Range From: 2020 To: 2023"
            << "2020-03-15 23:30:00 .. 2023-06-01 12:00:00";
        QTest::newRow("years inside") << zoom_year << 4.0 << 1.0 << 2.5
                                      << "Selected Range From: 2021 To: 2022"
                                      << "2021-01-01 00:00:00 .. 2022-12-31 23:59:59";
        QTest::newRow("first month, over the clock change")
            << zoom_month << 40.0 << 0.0 << 0.0 << "Selected month: March, 2020"
            << "2020-03-15 23:30:00 .. 2020-03-31 23:59:59";
        QTest::newRow("calendar month, not 30 days")
            << zoom_month << 40.0 << 11.0 << 11.0 << "Selected month: February, 2021"
            << "2021-02-01 00:00:00 .. 2021-02-28 23:59:59";
        QTest::newRow("months") << zoom_month << 40.0 << 1.0 << 12.0
                                << "Selected Range From: April, 2020 To: March, 2021"
                                << "2020-04-01 00:00:00 .. 2021-03-31 23:59:59";
        QTest::newRow("the 23-hour day") << zoom_day << 300.0 << 14.0 << 14.0
                                         << "Selected date: March 29, 2020"
                                         << "2020-03-29 00:00:00 .. 2020-03-29 23:59:59";
        // One unit is selected only when the ends meet, not when a band
        // lies inside one unit.
        QTest::newRow("band inside one day")
            << zoom_day << 300.0 << 14.2 << 14.8
            << "Selected Range From: March 29, 2020 To: March 29, 2020"
            << "2020-03-29 00:00:00 .. 2020-03-29 23:59:59";
        QTest::newRow("days over the clock change")
            << zoom_day << 300.0 << 0.0 << 20.0
            << "Selected Range From: March 15, 2020 To: April 04, 2020"
            << "2020-03-15 00:00:00 .. 2020-04-04 23:59:59";
    }
    void status_and_period_name_the_same_time() {
        QFETCH(int, level);
        QFETCH(double, maximum);
        QFETCH(double, from);
        QFETCH(double, to);
        slider_scale scale;
        scale.set_times(local("2020-03-15 23:30:00"), local("2023-06-01 12:00:00"));
        scale.set_zoom_level(level);
        scale.set_range(0, maximum);
        QVERIFY(!scale.set_selection(from, to));
        QTEST(QString::fromStdString(scale.status_text()), "status");
        const time_period period = scale.period();
        QTEST(shown(period.start) + " .. " + shown(period.end), "period");
    }

    void empty_scale_selects_nothing() {
        slider_scale scale = scale_of(0, 0);
        scale.set_range(0, 0);
        scale.set_times(0, 0);
        QCOMPARE(scale.status_text(), std::string());
        QCOMPARE(scale.start_label(), std::string());
        QCOMPARE(scale.part_at(scale.from_thumb().centre()), slider_part::none);
        QCOMPARE(scale.press(scale.from_thumb().centre()), slider_part::none);
        QVERIFY(!scale.arrow(1, false, false));
        QCOMPARE(scale.x_of(0), 30.0);
    }

    void selection_from_outside_is_corrected_data() {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<int>("reported");
        QTest::addColumn<double>("kept_from");
        QTest::addColumn<double>("kept_to");
        QTest::newRow("inside") << 3.0 << 5.0 << -1 << 3.0 << 5.0;
        QTest::newRow("from below") << -2.0 << 5.0 << moved_from << 0.0 << 5.0;
        QTest::newRow("to above") << 3.0 << 40.0 << moved_to << 3.0 << 34.0;
        QTest::newRow("from past to") << 9.0 << 5.0 << moved_from << 5.0 << 5.0;
    }
    void selection_from_outside_is_corrected() {
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(int, reported);
        slider_scale scale = scale_of(0, 0);
        QCOMPARE(scale.set_selection(from, to).value_or(-1), reported);
        QTEST(scale.from(), "kept_from");
        QTEST(scale.to(), "kept_to");
    }

    // Selection 10 .. 20: the from thumb's centre at x 145, the to thumb's
    // at 275, the band's at 210.
    void dragging_clamps_and_keeps_the_band_data() {
        QTest::addColumn<int>("grab");
        QTest::addColumn<int>("dx");
        QTest::addColumn<int>("reported");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::newRow("from thumb") << 145 << 30 << moved_from << 13.0 << 20.0;
        QTest::newRow("from thumb past to") << 145 << 200 << moved_from << 20.0 << 20.0;
        QTest::newRow("from thumb past start") << 140 << -300 << moved_from << 0.0 << 20.0;
        QTest::newRow("to thumb") << 275 << -50 << moved_to << 10.0 << 15.0;
        QTest::newRow("to thumb past from") << 275 << -200 << moved_to << 10.0 << 10.0;
        QTest::newRow("to thumb past end") << 280 << 300 << moved_to << 10.0 << 34.0;
        QTest::newRow("band") << 200 << 50 << moved_band << 15.0 << 25.0;
        QTest::newRow("band past start") << 200 << -500 << moved_band << 0.0 << 10.0;
        QTest::newRow("band past end") << 200 << 500 << moved_band << 24.0 << 34.0;
    }
    void dragging_clamps_and_keeps_the_band() {
        QFETCH(int, grab);
        QFETCH(int, dx);
        slider_scale scale = scale_of(10, 20);
        const int y = scale.track().centre().y;
        QVERIFY(scale.press({grab, y}) != slider_part::none);
        QFETCH(int, reported);
        QCOMPARE(scale.drag_to({grab + dx, y}).value_or(-1), reported);
        QTEST(scale.from(), "from");
        QTEST(scale.to(), "to");
        QVERIFY(scale.release());
        QVERIFY(!scale.drag_to({grab, y}));
    }

    void arrow_keys_data() {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<int>("direction");
        QTest::addColumn<int>("modifier");  // 0 none, 1 Shift, 2 Ctrl
        QTest::addColumn<int>("reported");
        QTest::addColumn<double>("new_from");
        QTest::addColumn<double>("new_to");
        QTest::newRow("right moves the band") << 10.0 << 20.0 << 1 << 0 << moved_band << 10.1 << 20.1;
        QTest::newRow("left moves the band") << 10.0 << 20.0 << -1 << 0 << moved_band << 9.9 << 19.9;
        QTest::newRow("right at the end") << 10.0 << 34.0 << 1 << 0 << -1 << 10.0 << 34.0;
        QTest::newRow("left at the start") << 0.0 << 5.0 << -1 << 0 << -1 << 0.0 << 5.0;
        QTest::newRow("shift right") << 10.0 << 20.0 << 1 << 1 << moved_from << 10.0 << 20.1;
        QTest::newRow("shift left onto from") << 10.0 << 10.0 << -1 << 1 << -1 << 10.0 << 10.0;
        QTest::newRow("shift right at the end") << 10.0 << 34.0 << 1 << 1 << -1 << 10.0 << 34.0;
        QTest::newRow("ctrl left") << 10.0 << 20.0 << -1 << 2 << moved_from << 9.9 << 20.0;
        QTest::newRow("ctrl right onto to") << 10.0 << 10.0 << 1 << 2 << -1 << 10.0 << 10.0;
    }
    void arrow_keys() {
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(int, direction);
        QFETCH(int, modifier);
        QFETCH(int, reported);
        slider_scale scale = scale_of(from, to);
        QCOMPARE(scale.arrow(direction, modifier == 1, modifier == 2).value_or(-1),
                 reported);
        QTEST(scale.from(), "new_from");
        QTEST(scale.to(), "new_to");
    }

    // The widget forwards a drag: one RANGE_CHANGED per move, one
    // REFRESH_HVIEW on release; Z and Alt+Z zoom; an arrow's release refreshes.
    void widget_forwards_mouse_and_keys() {
        CVellum_Slider slider;
        slider.resize(460, 70);
        slider.set_range(0, 34);
        slider.set_selection(10, 20);
        slider.show();
        QVERIFY(QTest::qWaitForWindowExposed(&slider));
        QSignalSpy ranges(&slider, &CVellum_Slider::RANGE_CHANGED);
        QSignalSpy zooms(&slider, &CVellum_Slider::ZOOM_CLICKED);
        QSignalSpy refreshes(&slider, &CVellum_Slider::REFRESH_HVIEW);
        const int y = slider.scale().track().centre().y;
        QTest::mousePress(&slider, Qt::LeftButton, {}, {200, y});
        for (const int x : {220, 250}) {
            QMouseEvent move(QEvent::MouseMove, QPointF(x, y), slider.mapToGlobal(QPointF(x, y)),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&slider, &move);
        }
        QCOMPARE(ranges.size(), 2);
        QCOMPARE(refreshes.size(), 0);
        QTest::mouseRelease(&slider, Qt::LeftButton, {}, {250, y});
        QCOMPARE(refreshes.size(), 1);
        // The band followed the pointer by 50 pixels, keeping its width.
        QCOMPARE(slider.scale().from(), 10 + 50 * 34.0 / slider.scale().scale_width());
        QCOMPARE(slider.scale().to() - slider.scale().from(), 10.0);
        const tuv::gui::point zoom_out_at = slider.scale().zoom_out_button().centre();
        QTest::mouseClick(&slider, Qt::LeftButton, {}, {zoom_out_at.x, zoom_out_at.y});
        QTest::keyClick(&slider, Qt::Key_Z);
        QTest::keyClick(&slider, Qt::Key_Z, Qt::AltModifier);
        QCOMPARE(zooms.size(), 3);
        QCOMPARE(zooms.at(0).at(0).toInt(), zoom_out);
        QCOMPARE(zooms.at(1).at(0).toInt(), zoom_in);
        QCOMPARE(zooms.at(2).at(0).toInt(), zoom_out);
        QTest::keyClick(&slider, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(ranges.last().at(0).toInt(), moved_from);
        QCOMPARE(refreshes.size(), 2);
    }

    // Zoom clicks (+ in, - out) on a vault of the given span.
    void zoom_stops_at_the_limits_data() {
        QTest::addColumn<int>("days");
        QTest::addColumn<QString>("clicks");
        QTest::addColumn<int>("level");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<QString>("shown");
        const QString day = "Quillmark Explorer|You are already at day level.|1";
        const QString year = "Quillmark Explorer|You are already at year level.|1";
        // 23:30 plus whole days of seconds over the spring's clock change is
        // 00:30 a day later: the day scale reaches the day the latest is on.
        QTest::newRow("in to days") << 400 << "+" << zoom_day << 401.0 << "";
        QTest::newRow("past days") << 400 << "++" << zoom_day << 401.0 << day;
        QTest::newRow("out past the span") << 400 << "-" << zoom_month << 14.0 << "";
        QTest::newRow("in and out") << 400 << "+-" << zoom_month << 14.0 << "";
        QTest::newRow("past years") << 1200 << "-" << zoom_year << 4.0 << year;
        QTest::newRow("years to months") << 1200 << "+" << zoom_month << 40.0 << "";
        QTest::newRow("days stay days") << 30 << "-+" << zoom_day << 31.0 << day;
    }
    void zoom_stops_at_the_limits() {
        QFETCH(int, days);
        QFETCH(QString, clicks);
        tuv::test::test_vault vault;
        const std::time_t start = local("2020-03-15 23:30:00");
        check_ins_at(vault, {start, start + days * 86400});
        tuv::gui::scripted_prompter prompts;
        CVellum_ExplorerDoc document(&vault.repo(), prompts);
        TFormView form(document);
        for (const QChar click : clicks) form.ZOOM_CLICKED(click == '+' ? zoom_in : zoom_out, 0);
        QTEST(form.slider().scale().zoom_level(), "level");
        QTEST(document.slider().zoom_level, "level");
        QTEST(form.slider().scale().maximum(), "maximum");
        QCOMPARE(document.slider().to, form.slider().scale().maximum());
        QTEST(messages(prompts), "shown");
    }

    void empty_vault_gives_an_empty_scale() {
        tuv::test::test_vault vault;
        tuv::gui::scripted_prompter prompts;
        CVellum_ExplorerDoc document(&vault.repo(), prompts);
        TFormView form(document);
        form.resize(600, 110);
        form.time_filter().click();
        form.slider().grab();  // paints without dividing by an empty scale
        QVERIFY(form.slider().scale().empty());
        QCOMPARE(form.slider().scale().status_text(), std::string());
        QCOMPARE(messages(prompts), QString());
    }

    // A zoomed scale survives the refresh its own drag asks for; the list
    // then holds the selected period's entries only.
    void refresh_keeps_the_zoom_and_filters_the_list() {
        tuv::test::test_vault vault;
        check_ins_at(vault, {local("2020-03-15 23:30:00"), local("2024-06-01 12:00:00")});
        vault.repo().catalogue().create_directory("Early", 1, "2020-03-20 10:00:00");
        vault.repo().catalogue().create_directory("Late", 1, "2021-02-10 10:00:00");
        tuv::gui::scripted_prompter prompts;
        CVellum_ExplorerDoc document(&vault.repo(), prompts);
        TFormView form(document);
        form.time_filter().click();
        form.ZOOM_CLICKED(zoom_in, 0);
        form.slider().set_selection(0, 0);  // March 2020, as a drag would leave it
        form.RANGE_CHANGED(moved_band, 0);
        form.REFRESH_HVIEW(0, 0);
        QCOMPARE(form.slider().scale().zoom_level(), zoom_month);
        QCOMPARE(form.slider().scale().status_text(), std::string("Selected month: March, 2020"));
        QStringList names;
        for (const auto& entry : document.history()) names << QString::fromStdString(entry.full_path);
        QCOMPARE(names, QStringList{"\\Early"});
        QCOMPARE(messages(prompts), QString());
    }

    // The list always holds what the label names: after a zoom, with the
    // whole span selected however late in its day the latest change lies,
    // and after moving to another folder.
    void the_list_matches_the_label() {
        tuv::test::test_vault vault;
        // 400.6 days: months; the latest change at midnight.
        check_ins_at(vault, {local("2020-03-15 09:30:00"), local("2021-04-20 00:00:00")});
        auto& repo = vault.repo();
        repo.catalogue().create_directory("Early", 1, "2020-03-16 10:00:00");
        repo.catalogue().create_directory("Latest", 1, "2021-04-20 00:00:00");
        repo.catalogue().create_directory("Inner", repo.catalogue().resolve("\\Early")->file_id(),
                                          "2020-03-17 10:00:00");
        tuv::gui::scripted_prompter prompts;
        CVellum_ExplorerDoc document(&repo, prompts);
        TFormView form(document);
        const auto names = [&] {
            QStringList shown;
            for (const auto& entry : document.history()) {
                shown << QString::fromStdString(entry.full_path);
            }
            return shown;
        };
        const auto select = [&](double from, double to) {
            form.slider().set_selection(from, to);
            form.RANGE_CHANGED(moved_band, 0);
            form.REFRESH_HVIEW(0, 0);
        };
        form.time_filter().click();
        QCOMPARE(names(), (QStringList{"\\Early", "\\Latest"}));
        select(0, 0);  // March 2020
        QCOMPARE(names(), QStringList{"\\Early"});

        form.ZOOM_CLICKED(zoom_in, 0);  // days, the whole span
        QCOMPARE(form.slider().scale().zoom_level(), zoom_day);
        QCOMPARE(form.slider().scale().status_text(),
                 std::string("Selected Range From: March 15, 2020 To: April 20, 2021"));
        QCOMPARE(names(), (QStringList{"\\Early", "\\Latest"}));

        select(1, 1);  // March 16th
        QCOMPARE(names(), QStringList{"\\Early"});
        document.go_to("\\Early");  // back to the natural unit, the whole span
        QCOMPARE(form.slider().scale().zoom_level(), zoom_month);
        QCOMPARE(names(), QStringList{"\\Early\\Inner"});
        QCOMPARE(messages(prompts), QString());
    }

    void search_format_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("timed");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("arguments");
        const QString period = " (( %d & %c ) | ( %b  & %a )) & ";
        QTest::newRow("nothing") << "" << "" << false << "%N" << "*";
        QTest::newRow("name as typed") << "O'Brien" << "" << false << "%N" << "*O'Brien*";
        QTest::newRow("description as typed")
            << "" << "it's 100%_done" << false << "%N & %A" << "*|*it's 100%_done*";
        QTest::newRow("both") << "a*b" << "x" << false << "%N & %A" << "*a*b*|*x*";
        QTest::newRow("period") << "" << "" << true << period + "%N"
                                << "1000|1999|1000|1999|*";
        QTest::newRow("all") << "n" << "d" << true << period + "%N & %A"
                             << "1000|1999|1000|1999|*n*|*d*";
    }
    void search_format() {
        QFETCH(QString, name);
        QFETCH(QString, description);
        QFETCH(bool, timed);
        const std::optional<time_period> period =
            timed ? std::optional<time_period>(time_period{1000, 1999}) : std::nullopt;
        const tuv::search_request request =
            search_request_of(name.toStdString(), description.toStdString(), period);
        QTEST(QString::fromStdString(request.format), "format");
        QStringList arguments;
        for (const auto& argument : request.arguments) arguments << QString::fromStdString(argument);
        QTEST(arguments.join('|'), "arguments");
    }

    // \Docs\a.txt (2020), \Docs2\x.txt (1 January 2021, midnight) and the
    // folders; the time filter selects the year 2020.
    void search_keeps_files_under_the_location_data() {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("timed");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("shown");
        const QString none = "Quillmark Search|No items found matching the criteria|2";
        QTest::newRow("everything") << "\\" << "" << "" << false << "\\Docs\\a.txt,\\Docs2\\x.txt"
                                    << "";
        QTest::newRow("not a longer name") << "\\Docs" << "" << "" << false << "\\Docs\\a.txt"
                                           << "";
        QTest::newRow("year 2020 ends before 2021") << "\\" << "" << "" << true << "\\Docs\\a.txt"
                                                    << "";
        QTest::newRow("quote in a description") << "\\" << "" << "O'Brien's" << false
                                                << "\\Docs\\a.txt" << "";
        QTest::newRow("quote in a name") << "\\" << "x'" << "" << false << "" << none;
        QTest::newRow("nothing there") << "\\Docs2" << "a.txt" << "" << false << "" << none;
    }
    void search_keeps_files_under_the_location() {
        QFETCH(QString, location);
        QFETCH(QString, name);
        QFETCH(QString, description);
        QFETCH(bool, timed);
        tuv::test::test_vault vault;
        check_ins_at(vault, {local("2020-05-01 10:00:00"), local("2021-01-01 00:00:00")});
        tuv::gui::scripted_prompter prompts;
        CVellum_ExplorerDoc document(&vault.repo(), prompts);
        add_files(vault);
        document.set_current_location(location.toStdString());
        document.set_time_span(local("2020-05-01 10:00:00"), local("2021-01-01 00:00:00"));
        document.set_zoom_level(zoom_year);
        document.set_selected_range(0, 0);
        document.set_use_time_filter(timed);
        CSearchFiltters pane(document);
        pane.name_field().setText(name);
        pane.description_field().setText(description);
        pane.show();
        QVERIFY(QTest::qWaitForWindowActive(&pane));
        // A mnemonic presses its button as a click would, a moment later.
        QSignalSpy searched(&pane.search_button(), &QPushButton::clicked);
        QTest::keyClick(&pane.name_field(), Qt::Key_S, Qt::AltModifier);
        QVERIFY(searched.wait());
        QStringList found;
        for (const auto& entry : document.search_results()) {
            found << QString::fromStdString(entry->full_path());
        }
        QTEST(found.join(','), "found");
        QVERIFY(document.search_mode());
        QTEST(messages(prompts), "shown");
        QSignalSpy emptied(&pane.reset_button(), &QPushButton::clicked);
        QTest::keyClick(&pane.name_field(), Qt::Key_R, Qt::AltModifier);
        QVERIFY(emptied.wait());
        QCOMPARE(pane.name_field().text(), QString());
        QCOMPARE(pane.description_field().text(), QString());
        QSignalSpy closing(&pane, &CSearchFiltters::SEARCH_CLOSE);
        pane.close_button().click();
        QCOMPARE(closing.size(), 1);
    }

    void screenshots() {
        tuv::test::test_vault vault;
        check_ins_at(vault, {local("2019-02-11 09:00:00"), local("2024-05-20 17:00:00")});
        tuv::gui::scripted_prompter prompts;
        CVellum_ExplorerDoc document(&vault.repo(), prompts);
        TFormView form(document);
        form.resize(820, form.minimumHeight());
        form.time_filter().setChecked(true);
        form.slider().set_selection(1, 3);
        tuv::test::screenshot(form, "explorer-timeline-year");
        form.ZOOM_CLICKED(zoom_in, 0);
        form.slider().set_selection(14, 18);
        tuv::test::screenshot(form, "explorer-timeline-month");
        form.ZOOM_CLICKED(zoom_in, 0);
        form.slider().setFocus();
        form.slider().set_selection(400, 460);
        tuv::test::screenshot(form, "explorer-timeline-day");

        add_files(vault);
        QWidget window;
        auto* row = new QHBoxLayout(&window);
        auto* pane = new CSearchFiltters(document);
        auto* list = new QTableView;
        hview_model rows(document);
        list->setModel(&rows);
        connect(&document, &CVellum_ExplorerDoc::views_changed, &rows, &hview_model::reload);
        row->addWidget(pane);
        row->addWidget(list, 1);
        window.resize(900, 300);
        pane->description_field().setText("notes");
        pane->search();
        list->resizeColumnsToContents();
        QCOMPARE(document.search_results().size(), std::size_t{1});
        tuv::test::screenshot(window, "explorer-search");
    }

  private:
    static void add_files(tuv::test::test_vault& vault) {
        auto& repo = vault.repo();
        const auto docs = repo.catalogue().create_directory("Docs", 1, "2020-05-01 10:00:00");
        const auto docs2 = repo.catalogue().create_directory("Docs2", 1, "2020-05-01 10:00:00");
        const auto a =
            repo.catalogue().create_file("a.txt", docs, 10, "2020-05-01 10:00:00", "text/plain");
        repo.journal().insert_change(a, tuv::CHANGE_CREATED, date(std::string("2020-05-01 10:00:00")),
                                     "/src/a.txt", "O'Brien's notes");
        const auto x =
            repo.catalogue().create_file("x.txt", docs2, 10, "2021-01-01 00:00:00", "text/plain");
        repo.journal().insert_change(x, tuv::CHANGE_CREATED, date(std::string("2021-01-01 00:00:00")),
                                     "/src/x.txt", "plans");
    }
};

QTEST_MAIN(explorer_timeline_test)
#include "explorer_timeline_test.moc"
