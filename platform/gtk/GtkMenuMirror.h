#pragma once
// A GTK menu that mirrors a menu of the model, submenus included, and keeps
// following it while it is open: titles, pictures and enabled states change
// in place, lines come and go where the model puts them, and an open menu is
// placed again where it was opened, at its new size. Choosing a line chooses
// the model's item. A batch of changes (Menu::beginChanges) is shown when it
// ends; until then the menu shows the lines as they were. A line's label
// picture is drawn here, in the theme's text colour for the line's state and
// at the display's scale, and a line is named for screen readers by all its
// words, the label's too.

#include <gtk/gtk.h>

#include <memory>
#include <vector>

#include "platform/Menu.h"

class GtkMenuMirror {
public:
    explicit GtkMenuMirror(const MenuRef& menu);
    ~GtkMenuMirror();
    GtkMenuMirror(const GtkMenuMirror&) = delete;
    GtkMenuMirror& operator=(const GtkMenuMirror&) = delete;

    GtkWidget* widget() const { return widget_; }
    // The model's menu, or null once it is gone.
    MenuRef menu() const { return menu_.lock(); }

    // Brings the GTK menu up to the model; true when anything shown changed.
    bool sync();

private:
    struct Entry;
    void place(const std::vector<Entry*>& order);

    std::weak_ptr<Menu> menu_;
    GtkWidget* widget_ = nullptr;  // the GtkMenu, one reference of ours
    std::vector<std::unique_ptr<Entry>> entries_;
    bool synced_ = false;
    bool placeAgain_ = false;  // once the open menu has its new size
};
