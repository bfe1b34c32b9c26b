// The cabinet tree in the explorer's left pane: the vault's folders, filled as
// they are opened. Activating a folder (double-click, Enter) makes it the
// current location; its context menu adds a cabinet there.
#pragma once

#include <QTreeView>
#include <memory>
#include <string>

#include "gui/cabinet_model.h"

class CVellum_ExplorerDoc;

class CLeftView : public QTreeView {
    Q_OBJECT
  public:
    // Borrows the document, which must outlive the view.
    explicit CLeftView(CVellum_ExplorerDoc& document, QWidget* parent = nullptr);

    // Makes `location` current (search mode off), as activating its item does.
    void go_to_location(const std::string& location);
    // Ctrl+W and the context menu: a new cabinet under the current location.
    void add_cabinet();

    tuv::gui::cabinet_model* cabinets() { return model_.get(); }

  private:
    void refill();

    CVellum_ExplorerDoc& document_;
    std::unique_ptr<tuv::gui::cabinet_model> model_;
};
