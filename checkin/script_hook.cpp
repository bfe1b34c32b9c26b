#include "checkin/script_hook.h"

#include <QDate>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <stdexcept>

#include "checkin/CVellumApp.h"
#include "checkin/checkin_form.h"

namespace tuv::checkin {
namespace {

const char* icon_name(gui::prompt_icon icon) {
    switch (icon) {
        case gui::prompt_icon::information: return "information";
        case gui::prompt_icon::exclamation: return "exclamation";
        case gui::prompt_icon::error: return "error";
        case gui::prompt_icon::question: return "question";
        case gui::prompt_icon::none: break;
    }
    return "none";
}

gui::prompt_answer answer_named(const QString& name) {
    if (name == "ok") return gui::prompt_answer::ok;
    if (name == "cancel") return gui::prompt_answer::cancel;
    if (name == "yes") return gui::prompt_answer::yes;
    if (name == "no") return gui::prompt_answer::no;
    if (name == "retry") return gui::prompt_answer::retry;
    throw std::runtime_error("unknown answer in the check-in script: " + name.toStdString());
}

}  // namespace

std::unique_ptr<script_hook> script_hook::from_environment() {
    const QString path = qEnvironmentVariable("QUILLMARK_CHECKIN_SCRIPT");
    if (path.isEmpty()) return nullptr;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read the check-in script " + path.toStdString());
    }
    const QJsonObject script = QJsonDocument::fromJson(file.readAll()).object();
    std::unique_ptr<script_hook> hook(new script_hook(path));
    for (const QJsonValue answer : script["answers"].toArray()) {
        hook->prompter_.answer(answer_named(answer.toString()));
    }
    if (script.contains("form")) {
        const QJsonObject form = script["form"].toObject();
        hook->submit_ = true;
        hook->directory_ = form["directory"].toString();
        hook->date_ = form["date"].toString();
        hook->time_ = form["time"].toString();
        hook->description_ = form["description"].toString();
    }
    return hook;
}

script_hook::~script_hook() {
    QJsonArray log;
    for (const gui::prompt_record& prompt : prompter_.prompts()) {
        log.append(QJsonObject{{"caption", prompt.caption},
                               {"text", prompt.text},
                               {"icon", icon_name(prompt.icon)}});
    }
    QFile file(path_ + ".log");
    if (file.open(QIODevice::WriteOnly)) file.write(QJsonDocument(log).toJson());
}

void script_hook::install(CVellumApp& app) {
    app.set_details_asker([this](checkin_form& form, repository&) {
        if (!submit_) return false;
        if (!directory_.isEmpty()) form.set_directory(directory_.toStdString());
        if (!date_.isEmpty()) form.set_date(QDate::fromString(date_, "yyyy-MM-dd"));
        if (!time_.isEmpty()) form.set_time(QTime::fromString(time_, "HH:mm:ss"));
        form.set_description(description_);
        return true;
    });
}

}  // namespace tuv::checkin
