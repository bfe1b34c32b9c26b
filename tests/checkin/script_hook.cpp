#include "tests/checkin/script_hook.h"

#include <QDate>

#include "checkin/CVellumApp.h"
#include "checkin/checkin_form.h"

namespace tuv::checkin_app {

std::unique_ptr<script_hook> script_hook::from_environment() {
    auto script = gui::prompt_script::from_environment("QUILLMARK_CHECKIN_SCRIPT");
    if (!script) return nullptr;
    std::unique_ptr<script_hook> hook(new script_hook(std::move(script)));
    if (hook->script_->script().contains("form")) {
        const QJsonObject form = hook->script_->script()["form"].toObject();
        hook->submit_ = true;
        hook->directory_ = form["directory"].toString();
        hook->date_ = form["date"].toString();
        hook->time_ = form["time"].toString();
        hook->description_ = form["description"].toString();
    }
    return hook;
}

void script_hook::install(CVellumApp& app) {
    app.set_details_asker([this](checkin_form& form, repository&) {
        if (!submit_) return false;
        if (!directory_.isEmpty()) form.set_directory(directory_.toStdString());
        if (!date_.isEmpty()) {
            const QDate date = QDate::fromString(date_, "yyyy-MM-dd");
            form.set_date({date.year(), date.month(), date.day()});
        }
        if (!time_.isEmpty()) {
            const QTime time = QTime::fromString(time_, "HH:mm:ss");
            form.set_time({time.hour(), time.minute(), time.second()});
        }
        form.set_description(description_.toStdString());
        return true;
    });
}

}  // namespace tuv::checkin_app
