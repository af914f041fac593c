#pragma once
// A menu of the model exported on the session bus with libdbusmenu, as a
// StatusNotifierItem's menu: the host reads its lines over the bus
// (com.canonical.dbusmenu), shows them itself and sends the user's clicks
// back, which choose the model's items. Follows the model incrementally, so
// a host that has the menu open sees single lines change; a batch of changes
// (Menu::beginChanges) reaches the host only when it ends, as one update.

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/Menu.h"

typedef struct _DbusmenuServer DbusmenuServer;
typedef struct _DbusmenuMenuitem DbusmenuMenuitem;

class DbusMenuExport {
public:
    explicit DbusMenuExport(const std::string& objectPath);
    ~DbusMenuExport();
    DbusMenuExport(const DbusMenuExport&) = delete;
    DbusMenuExport& operator=(const DbusMenuExport&) = delete;

    const std::string& objectPath() const { return path_; }

    // Brings the exported lines up to the menu (null: no lines).
    void show(const MenuRef& menu);
    // Told true when the host opens the menu, false when it closes it.
    void setOpenHandler(std::function<void(bool open)> handler) { openHandler_ = std::move(handler); }

    // The exported line of an item shown now, else null (for tests).
    DbusmenuMenuitem* exportedLine(const MenuItem* item) const;

private:
    struct Line;
    void showMenu(const Menu& menu, DbusmenuMenuitem* parent, std::map<const MenuItem*, bool>& seen);
    // `leading`: no other line is above it in its menu.
    DbusmenuMenuitem* lineFor(const MenuItemRef& item, bool leading);

    std::string path_;
    DbusmenuServer* server_ = nullptr;
    DbusmenuMenuitem* root_ = nullptr;
    std::map<const MenuItem*, std::unique_ptr<Line>> lines_;
    std::function<void(bool)> openHandler_;
};
