#pragma once
// The sources pane: the weather sources in the order the menu program tries
// them, as a table of rank and name, reordered by dragging one row at a
// time. It edits the "source_pref" array of the preference dictionary in
// place; the order travels with the whole dictionary on OK.

#include <memory>
#include <vector>

#include "platform/ui/TableView.h"
#include "setup/ComTeskPrefsControl.h"

class SourceSetup : public TableDataSource {
public:
    // Takes over "source_pref" of the dictionary the window now edits.
    void initWithPreferences(const PrefsRef& prefs);
    // The order being edited (empty before the first opening).
    std::vector<int> sources() const;

    int numberOfRowsInTableView(TableView& table) override;
    plist::Value objectValue(TableView& table, const TableColumn& column, int row) override;
    bool writeRows(TableView& table, const std::vector<int>& rows, Pasteboard& pasteboard) override;
    int validateDrop(TableView& table, DraggingInfo& info, int row, DropOperation operation) override;
    bool acceptDrop(TableView& table, DraggingInfo& info, int row, DropOperation operation) override;

    // Connected by the "Prefs" user-interface file.
    std::shared_ptr<TableView> sourceTable;

private:
    // The "source_pref" array of the edited dictionary, or null.
    plist::Array* sources_() const;
    PrefsRef prefs_;
};
