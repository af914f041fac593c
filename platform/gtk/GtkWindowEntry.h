#pragma once
// What the presenter keeps for each window it shows: the GTK window, its
// toolbar and one set of widgets per view of the model.

#include <gtk/gtk.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/gtk/GtkPresenter.h"

// One view's widgets: `outer` sits in the parent's container, subviews go
// into `container` (null for views that hold none).
struct ViewWidget {
    std::weak_ptr<View> view;
    GtkWidget* outer = nullptr;
    GtkWidget* container = nullptr;
    GtkWidget* inner = nullptr;  // the control inside a scroller or frame
    std::vector<std::string> shownTitles;
    // Tables: what the tree view shows now, so that only changes reach it
    // (a rebuilt list would lose its scroll position and selection).
    std::vector<std::vector<std::string>> shownRows;
    uint64_t shownScrollRequests = 0;
    bool shownEnabled = true;
    std::string shownImage;
    std::string labelFittedTo;  // wrapping labels: the width and text their lines were fitted to
};

struct GtkPresenter::WindowEntry {
    std::weak_ptr<Window> window;
    GtkWidget* gtkWindow = nullptr;
    GtkWidget* layout = nullptr;   // toolbar above content
    GtkWidget* toolbar = nullptr;
    std::map<std::string, GtkWidget*> toolButtons;
    GtkWidget* content = nullptr;  // the content view's fixed container
    std::map<const View*, ViewWidget> views;
    uint64_t shownFirstResponderRequests = 0;
    uint64_t shownOrderFrontRequests = 0;
    bool titledOnly = false;  // the window manager was told it may only move

    // The view a widget shows (the outer widget or the control inside it).
    ViewRef viewFor(GtkWidget* widget) const;

    ~WindowEntry() {
        for (auto& [view, w] : views) g_object_unref(w.outer);
        if (gtkWindow) gtk_widget_destroy(gtkWindow);
    }
};
