// The explorer's list: the entries of the current location, the versions of
// one file, or the results of a search. Activating a row (double-click,
// Enter) goes where it leads; the context menu and the main menu run the
// commands on the selected rows. Local files dropped on it are checked in to
// the current location through the check-in program.
#pragma once

#include <QTreeView>
#include <functional>
#include <vector>

#include "explorer/hview_model.h"
#include "explorer/view_commands.h"

class CVellum_ExplorerDoc;

class CVellum_HView : public QTreeView {
    Q_OBJECT
  public:
    // Borrows the document, which must outlive the view.
    explicit CVellum_HView(CVellum_ExplorerDoc& document, QWidget* parent = nullptr);

    tuv::explorer::hview_model& rows() { return model_; }
    // The selected rows, in ascending order.
    std::vector<int> selected_rows() const;

    void view_selected();
    void check_out_selected();
    void properties_of_selected();
    void check_out_folder();
    // Where View opens a version; the desktop's default program unless a
    // test says otherwise.
    void set_file_opener(tuv::explorer::file_opener open) { open_ = std::move(open); }
    // The checkout dialog unless a test says otherwise.
    void set_date_chooser(tuv::gui::date_chooser choose) { choose_ = std::move(choose); }

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void show_menu(const QPoint& at);
    void fit_columns();

    CVellum_ExplorerDoc& document_;
    tuv::explorer::hview_model model_;
    tuv::explorer::file_opener open_;
    tuv::gui::date_chooser choose_;
};
