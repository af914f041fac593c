#pragma once
// A window's toolbar: items made by a delegate from identifiers.

#include <memory>
#include <string>
#include <vector>

#include "platform/Image.h"
#include "platform/TargetAction.h"

class ToolbarItem;
using ToolbarItemRef = std::shared_ptr<ToolbarItem>;

class ToolbarItem {
public:
    explicit ToolbarItem(std::string identifier) : identifier_(std::move(identifier)) {}
    const std::string& itemIdentifier() const { return identifier_; }
    const std::string& label() const { return label_; }
    void setLabel(const std::string& l) { label_ = l; }
    const std::string& paletteLabel() const { return paletteLabel_; }
    void setPaletteLabel(const std::string& l) { paletteLabel_ = l; }
    const std::string& toolTip() const { return toolTip_; }
    void setToolTip(const std::string& t) { toolTip_ = t; }
    const ImageRef& image() const { return image_; }
    void setImage(ImageRef i) { image_ = std::move(i); }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool e) { enabled_ = e; }
    void setTarget(const void* t) { action_.setTarget(t); }
    const void* target() const { return action_.target(); }
    void setAction(const std::string& name, TargetAction<ToolbarItem>::Handler h) {
        action_.setAction(name, std::move(h));
    }
    const std::string& action() const { return action_.action(); }
    bool sendAction() { return action_.send(*this); }

private:
    std::string identifier_, label_, paletteLabel_, toolTip_;
    ImageRef image_;
    bool enabled_ = true;
    TargetAction<ToolbarItem> action_;
};

class Toolbar;

class ToolbarDelegate {
public:
    virtual ~ToolbarDelegate() = default;
    virtual ToolbarItemRef itemForItemIdentifier(Toolbar& toolbar, const std::string& identifier,
                                                 bool willBeInserted) = 0;
    virtual std::vector<std::string> defaultItemIdentifiers(Toolbar& toolbar) = 0;
    virtual void toolbarWillAddItem(Toolbar&, const ToolbarItemRef&) {}
};

class Toolbar {
public:
    explicit Toolbar(std::string identifier) : identifier_(std::move(identifier)) {}
    const std::string& identifier() const { return identifier_; }
    void setDelegate(ToolbarDelegate* d) { delegate_ = d; }
    bool allowsUserCustomization() const { return customizable_; }
    void setAllowsUserCustomization(bool c) { customizable_ = c; }
    bool autosavesConfiguration() const { return autosaves_; }
    void setAutosavesConfiguration(bool a) { autosaves_ = a; }

    // The items, asked of the delegate by its default identifiers the first
    // time (when the toolbar is given to a window).
    const std::vector<ToolbarItemRef>& items();
    ToolbarItemRef itemWithIdentifier(const std::string& identifier);
    // The item shown as the current one ("" for none).
    const std::string& selectedItemIdentifier() const { return selected_; }
    void setSelectedItemIdentifier(const std::string& identifier);
    // The user clicks an item: its action is sent.
    bool userClickItem(const std::string& identifier);

private:
    std::string identifier_;
    ToolbarDelegate* delegate_ = nullptr;
    bool customizable_ = true;
    bool autosaves_ = false;
    bool loaded_ = false;
    std::string selected_;
    std::vector<ToolbarItemRef> items_;
};
