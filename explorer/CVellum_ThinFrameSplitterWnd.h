// A splitter whose bars are one pixel wide and cannot be dragged: the search
// pane's fixed layout of form and results.
#pragma once

#include <QSplitter>

class CVellum_ThinFrameSplitterWnd : public QSplitter {
  public:
    explicit CVellum_ThinFrameSplitterWnd(Qt::Orientation orientation, QWidget* parent = nullptr)
        : QSplitter(orientation, parent) {
        setHandleWidth(1);
        setChildrenCollapsible(false);
    }

  protected:
    // A handle that never reacts to the mouse: nothing to grab.
    QSplitterHandle* createHandle() override {
        auto* handle = QSplitter::createHandle();
        handle->setEnabled(false);
        handle->setCursor(Qt::ArrowCursor);
        return handle;
    }
};
