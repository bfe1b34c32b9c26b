// Saves what a window shows, for a person to look at: the GUI tests call it
// from their test functions (it uses QtTest's checks).
#pragma once

#include <QDir>
#include <QTest>
#include <QWidget>

namespace tuv::test {

// Shows `widget` and saves it as <name>.png in $QUILLMARK_SCREENSHOT_DIR
// (else the temporary folder).
inline void screenshot(QWidget& widget, const QString& name) {
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    const QString folder = qEnvironmentVariable("QUILLMARK_SCREENSHOT_DIR", QDir::tempPath());
    QDir().mkpath(folder);
    QVERIFY(widget.grab().save(folder + "/" + name + ".png"));
}

}  // namespace tuv::test
