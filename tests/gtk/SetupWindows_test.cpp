// The setup application's windows on a real display.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/ComTeskUtilControl.h"
#include "platform/gtk/GtkPresenter.h"
#include "setup/SetupFixture.h"

namespace {

void pump() {
    for (int i = 0; i < 200 && gtk_events_pending(); ++i) gtk_main_iteration_do(FALSE);
}

// Whether the window's picture holds more than one colour.
bool drawsSomething(GtkWindow* window, const std::string& name) {
    GdkWindow* gdk = gtk_widget_get_window(GTK_WIDGET(window));
    if (!gdk) return false;
    GdkPixbuf* shot = gdk_pixbuf_get_from_window(gdk, 0, 0, gdk_window_get_width(gdk), gdk_window_get_height(gdk));
    if (!shot) return false;
    // Pictures for a person to look at, when asked for.
    if (const char* dir = std::getenv("SKYVANE_SETUP_SCREENSHOTS"))
        gdk_pixbuf_save(shot, (std::string(dir) + "/" + name + ".png").c_str(), "png", nullptr, nullptr);
    const guchar* pixels = gdk_pixbuf_get_pixels(shot);
    const int stride = gdk_pixbuf_get_rowstride(shot), channels = gdk_pixbuf_get_n_channels(shot);
    bool varied = false;
    for (int y = 0; y < gdk_pixbuf_get_height(shot) && !varied; ++y)
        for (int x = 0; x < gdk_pixbuf_get_width(shot) && !varied; ++x)
            varied = std::memcmp(pixels + y * stride + x * channels, pixels, 3) != 0;
    g_object_unref(shot);
    return varied;
}

class SetupWindowsTest : public SetupTest {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(GtkPresenter::initialize()) << "no display"; }
    void TearDown() override {
        presenter.reset();
        SetupTest::TearDown();
    }
    std::unique_ptr<GtkPresenter> presenter = std::make_unique<GtkPresenter>();
};

}  // namespace

TEST_F(SetupWindowsTest, ThePreferenceWindowAndTheNewLocationSheetAreShown) {
    ComTeskPlimSetup setup;
    setup.runPreferences(samplePrefs(), true, nullptr, "general", false);
    SkyvanePrefs& prefs = *setup.prefControl();
    presenter->sync();
    pump();
    GtkWindow* window = presenter->windowFor(prefs.prefsWindow.get());
    ASSERT_NE(window, nullptr);
    EXPECT_STREQ(gtk_window_get_title(window), "Skyvane Preferences");
    EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(window)));
    EXPECT_NE(presenter->widgetFor(prefs.unitsPopup.get()), nullptr);
    EXPECT_NE(presenter->widgetFor(prefs.checkboxMatrix.get()), nullptr);
    EXPECT_TRUE(drawsSomething(window, "general"));

    // The locations pane with its table, then the New Location window over it.
    ASSERT_TRUE(prefs.prefsWindow->toolbar()->userClickItem("locations"));
    presenter->sync();
    pump();
    EXPECT_NE(presenter->widgetFor(prefs.locManSetup_->manageTableView.get()), nullptr);
    EXPECT_TRUE(drawsSomething(window, "locations"));
    GtkWidget* primary = presenter->widgetFor(prefs.locManSetup_->managePrimaryPopup.get());
    ASSERT_NE(primary, nullptr);
    EXPECT_TRUE(gtk_widget_is_sensitive(primary));
    prefs.locManSetup_->newManageAction(nullptr);
    presenter->sync();
    pump();
    GtkWindow* newLocation = presenter->windowFor(prefs.locManSetup_->newLocationWindow().get());
    ASSERT_NE(newLocation, nullptr);
    EXPECT_STREQ(gtk_window_get_title(newLocation), "Skyvane: New Location");
    EXPECT_TRUE(drawsSomething(newLocation, "newlocation"));

    // Closing both ends the application.
    prefs.locManSetup_->closeNewLocAction(nullptr);
    prefs.OKAction(nullptr);
    presenter->sync();
    pump();
    EXPECT_TRUE(Application::shared().isTerminated());
    EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(window)));
}

TEST_F(SetupWindowsTest, TheAboutBoxShowsWhileTheSignupWindowStaysHidden) {
    ComTeskPlimSetup setup;
    // The "Util" file makes the signup window too, hidden until asked for.
    setup.runAboutBox();
    presenter->sync();
    pump();
    GtkWindow* about = presenter->windowFor(setup.getUtil()->aboutWindow.get());
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(about)));
    EXPECT_EQ(presenter->windowFor(setup.getUtil()->emailWindow.get()), nullptr);
    EXPECT_TRUE(drawsSomething(about, "about"));
}
