// A vault file's properties as the explorer's caller formats them (name,
// vault path, MIME type, size), with Check&Out to write the file out.
#pragma once

#include <QDialog>

class QLineEdit;

class CVellumProperties : public QDialog {
    Q_OBJECT
  public:
    // The texts are shown as given. exec() returns Accepted for Check&Out.
    CVellumProperties(const QString& name, const QString& path, const QString& mime_type,
                      const QString& size, QWidget* parent = nullptr);

    // The four fields, in the order above.
    QLineEdit& field(int which) const { return *fields_[which]; }

  private:
    QLineEdit* fields_[4];
};
