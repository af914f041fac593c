#pragma once
// The weather controller of advanced mode: every weather source, the
// refresh timer at the user's update frequency, the setup application's
// panes with every preference enabled, and preference changes handled by
// the kind of key that changed. It shows no item that switches back to free
// mode.

#include <string>
#include <vector>

#include "app/Skyvane.h"

class SkyvaneAdv : public Skyvane {
public:
    explicit SkyvaneAdv(ComTeskPlim* core);

    void additionalSetup() override;
    bool isAdvanced() const override { return true; }
    void refreshData() override;
    void setPreference(const std::string& key, const plist::Value& value) override;
    void setPreferences(const plist::Dict& prefs) override;

    // The detail keys: the five forecast days, then the detail rows.
    const std::vector<std::string>& advanceKeys() const { return advanceKeys_; }

protected:
    int initialFrequencySeconds() const override;

private:
    std::vector<std::string> advanceKeys_;
};
