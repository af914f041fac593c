#include "platform/ui/Toolbar.h"

#include "platform/UIChanges.h"

const std::vector<ToolbarItemRef>& Toolbar::items() {
    if (!loaded_ && delegate_) {
        loaded_ = true;
        for (const auto& id : delegate_->defaultItemIdentifiers(*this)) {
            ToolbarItemRef item = delegate_->itemForItemIdentifier(*this, id, true);
            if (!item) continue;
            delegate_->toolbarWillAddItem(*this, item);
            items_.push_back(item);
        }
    }
    return items_;
}

ToolbarItemRef Toolbar::itemWithIdentifier(const std::string& identifier) {
    for (const auto& item : items())
        if (item->itemIdentifier() == identifier) return item;
    return nullptr;
}

bool Toolbar::userClickItem(const std::string& identifier) {
    ToolbarItemRef item = itemWithIdentifier(identifier);
    if (!item || !item->isEnabled()) return false;
    return item->sendAction();
}

void Toolbar::setSelectedItemIdentifier(const std::string& identifier) {
    selected_ = identifier;
    noteUIChange();
}
