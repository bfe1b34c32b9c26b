#include "tests/support/gui/prompt_script.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <stdexcept>

namespace tuv::gui {
namespace {

const char* icon_name(prompt_icon icon) {
    switch (icon) {
        case prompt_icon::information: return "information";
        case prompt_icon::exclamation: return "exclamation";
        case prompt_icon::error: return "error";
        case prompt_icon::question: return "question";
        case prompt_icon::none: break;
    }
    return "none";
}

prompt_answer answer_named(const QString& name) {
    if (name == "ok") return prompt_answer::ok;
    if (name == "cancel") return prompt_answer::cancel;
    if (name == "yes") return prompt_answer::yes;
    if (name == "no") return prompt_answer::no;
    if (name == "retry") return prompt_answer::retry;
    throw std::runtime_error("unknown answer in the script: " + name.toStdString());
}

}  // namespace

std::unique_ptr<prompt_script> prompt_script::from_environment(const char* variable) {
    const QString path = qEnvironmentVariable(variable);
    if (path.isEmpty()) return nullptr;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read the script " + path.toStdString());
    }
    std::unique_ptr<prompt_script> script(
        new prompt_script(path, QJsonDocument::fromJson(file.readAll()).object()));
    for (const QJsonValue answer : script->script_["answers"].toArray()) {
        script->prompter_.answer(answer_named(answer.toString()));
    }
    return script;
}

prompt_script::~prompt_script() {
    QJsonArray log;
    for (const prompt_record& prompt : prompter_.prompts()) {
        log.append(QJsonObject{{"caption", QString::fromStdString(prompt.caption)},
                               {"text", QString::fromStdString(prompt.text)},
                               {"icon", icon_name(prompt.icon)}});
    }
    QFile file(path_ + ".log");
    if (file.open(QIODevice::WriteOnly)) file.write(QJsonDocument(log).toJson());
}

}  // namespace tuv::gui
