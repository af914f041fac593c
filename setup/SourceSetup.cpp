#include "setup/SourceSetup.h"

#include <charconv>
#include <string>

#include "model/PreferenceKeys.h"

namespace {

const char kToMoveIndex[] = "toMoveIndex";
const char kToMove[] = "toMove";

// The number a drag carried, or nothing for text that is not one.
std::optional<int> number(const std::string& text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

bool knownSource(int64_t source) { return source >= 0 && source < static_cast<int64_t>(std::size(kSourceToString)); }

}  // namespace

void SourceSetup::initWithPreferences(const PrefsRef& prefs) {
    prefs_ = prefs;
    if (prefs_) {
        // The dictionary holds an array of its own from now on.
        plist::Array order;
        auto it = prefs_->find(kSourcePreference);
        if (it != prefs_->end() && it->second.isArray()) order = it->second.asArray();
        (*prefs_)[kSourcePreference] = plist::Value(std::move(order));
    }
    if (!sourceTable) return;
    sourceTable->reloadData();
    sourceTable->setNeedsDisplay();
    sourceTable->registerForDraggedTypes({kToMoveIndex, kToMove});
}

plist::Array* SourceSetup::sources_() const {
    if (!prefs_) return nullptr;
    auto it = prefs_->find(kSourcePreference);
    return it != prefs_->end() && it->second.isArray() ? &it->second.array() : nullptr;
}

std::vector<int> SourceSetup::sources() const {
    std::vector<int> order;
    if (const plist::Array* list = sources_())
        for (const plist::Value& v : *list) order.push_back(static_cast<int>(v.asInt()));
    return order;
}

int SourceSetup::numberOfRowsInTableView(TableView&) {
    const plist::Array* list = sources_();
    return list ? static_cast<int>(list->size()) : 0;
}

plist::Value SourceSetup::objectValue(TableView&, const TableColumn& column, int row) {
    const plist::Array* list = sources_();
    if (!list || row < 0 || row >= static_cast<int>(list->size())) return {};
    if (number(column.identifier).value_or(0) == 0) return plist::Value(row + 1);
    // A number outside the source table has no name to show.
    const int64_t source = (*list)[row].asInt();
    return plist::Value(knownSource(source) ? kSourceToString[source] : "");
}

bool SourceSetup::writeRows(TableView&, const std::vector<int>& rows, Pasteboard& pasteboard) {
    const plist::Array* list = sources_();
    if (!list || rows.size() != 1 || rows[0] < 0 || rows[0] >= static_cast<int>(list->size())) return false;
    const int row = rows[0];
    pasteboard.declareTypes({kToMoveIndex, kToMove});
    pasteboard.setString(std::to_string(row), kToMoveIndex);
    pasteboard.setString(std::to_string((*list)[row].asInt()), kToMove);
    return true;
}

int SourceSetup::validateDrop(TableView&, DraggingInfo& info, int row, DropOperation operation) {
    const plist::Array* list = sources_();
    if (!list || operation != DropOperation::Above) return kDragOperationNone;
    std::optional<int> from = number(info.pasteboard.stringForType(kToMoveIndex));
    const int count = static_cast<int>(list->size());
    // A drag from elsewhere, or a drop outside the list, moves nothing.
    if (!from || *from < 0 || *from >= count || row < 0 || row > count) return kDragOperationNone;
    if (row == *from || row == *from + 1) return kDragOperationNone;
    return kDragOperationMove;
}

bool SourceSetup::acceptDrop(TableView& table, DraggingInfo& info, int row, DropOperation operation) {
    if (validateDrop(table, info, row, operation) != kDragOperationMove) return false;
    plist::Array& list = *sources_();
    int from = *number(info.pasteboard.stringForType(kToMoveIndex));
    std::optional<int> source = number(info.pasteboard.stringForType(kToMove));
    if (!source || !knownSource(*source)) return false;
    list.insert(list.begin() + row, plist::Value(*source));
    if (from > row) ++from;
    list.erase(list.begin() + from);
    // The moved source stays selected at its new place.
    table.selectRow(from < row ? row - 1 : row);
    table.setNeedsDisplay();
    return true;
}
